#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "input/number_reader.hpp"
#include "input/read_matrix.hpp"
#include "workspace/error_stop.hpp"

namespace cmatinv {
namespace {

const std::string FILE_PROMPT =
    "\n Input filename.  Format is free, but no header lines allowed. \n";
const std::string INPUT_FILE_ERROR = "Input file error \n";
const std::string ECHO_HEADING = "\n\n  Input Matrix \n\n";
constexpr const char* MISSING = "<no such file>";

// The keyboard prompts of an n x n matrix, in the order they are printed, first `count` only.
std::string keyboard_prompts(int n, int count) {
    std::string text;
    for (int k = 0; k < count; ++k) {
        const int field = k / 2;
        const std::string place =
            "[" + std::to_string(field / n + 1) + "][" + std::to_string(field % n + 1) + "]";
        text += "\n Enter a" + place + (k % 2 == 0 ? ".r" : ".i") + " \n";
    }
    return text;
}

std::string read_bytes(const std::string& name) {
    std::ifstream file(name, std::ios::binary);
    if (!file) {
        return MISSING;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void write_bytes(const std::string& name, std::string_view bytes) {
    std::ofstream file(name, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs read_matrix in a fresh temporary directory, with `answers` on standard input and
// standard output and the error stream kept in memory.
class ReadMatrixTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/cmatinv-input-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir_ = pattern;
        ASSERT_NE(nullptr, getcwd(previous_dir_, sizeof previous_dir_));
        ASSERT_EQ(0, chdir(dir_.c_str()));
    }

    void TearDown() override {
        ws_.reset();  // closes whatever the stage left open
        close_streams();
        EXPECT_EQ(0, chdir(previous_dir_));
        std::filesystem::remove_all(dir_);
    }

    // A cleared workspace of dimension n with `answers` waiting on standard input.
    void prepare(int n, int method, std::string_view answers) {
        close_streams();
        in_ = std::tmpfile();
        std::fwrite(answers.data(), 1, answers.size(), in_);
        std::rewind(in_);
        out_ = open_memstream(&out_text_, &out_size_);
        err_ = open_memstream(&err_text_, &err_size_);
        ws_ = std::make_unique<Workspace>(in_, out_, err_);
        clear_workspace(*ws_);
        ws_->n = n;
        ws_->method = method;
    }

    void run(int n, int method, std::string_view answers) {
        prepare(n, method, answers);
        call_read_matrix();
    }

    void call_read_matrix() {
        stopped_ = false;
        try {
            read_matrix(*ws_);
        } catch (const ErrorStop& stop) {
            stopped_ = true;
            status_ = stop.status;
        }
    }

    std::string out() {
        std::fflush(out_);
        return {out_text_, out_size_};
    }
    std::string err() {
        std::fflush(err_);
        return {err_text_, err_size_};
    }
    // What the stage left unread on standard input.
    std::string unread() {
        std::string text;
        for (int c = ws_->io.in.get(); c != CharSource::END; c = ws_->io.in.get()) {
            text += static_cast<char>(c);
        }
        return text;
    }

    void expect_matrix(int n, const std::vector<Complex>& entries) {
        for (int row = 0; row < n; ++row) {
            for (int col = 0; col < n; ++col) {
                const Complex expected = entries[static_cast<std::size_t>(row) * n + col];
                EXPECT_EQ(expected.r, ws_->a[row][col].r) << "a[" << row << "][" << col << "].r";
                EXPECT_EQ(expected.i, ws_->a[row][col].i) << "a[" << row << "][" << col << "].i";
            }
        }
    }

    std::unique_ptr<Workspace> ws_;
    bool stopped_ = false;
    int status_ = 0;

private:
    void close_streams() {
        ws_.reset();
        for (std::FILE** f : {&in_, &out_, &err_}) {
            if (*f != nullptr) {
                std::fclose(*f);
                *f = nullptr;
            }
        }
        std::free(out_text_);
        std::free(err_text_);
        out_text_ = err_text_ = nullptr;
        out_size_ = err_size_ = 0;
    }

    std::string dir_;
    char previous_dir_[PATH_MAX] = {};
    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
    std::FILE* err_ = nullptr;
    char* out_text_ = nullptr;
    std::size_t out_size_ = 0;
    char* err_text_ = nullptr;
    std::size_t err_size_ = 0;
};

// ---- keyboard entry ----

// 1 + 2i, 3 + 4i / 5 + 6i, 7 + 8i as the record file holds them.
const std::string RECORD_1_TO_8 =
    "(1.00000e+000 , 2.00000e+000 )\t(3.00000e+000 , 4.00000e+000 )\r\n"
    "(5.00000e+000 , 6.00000e+000 )\t(7.00000e+000 , 8.00000e+000 )\r\n";

TEST_F(ReadMatrixTest, KeyboardPromptsEveryPartInRowOrderWhateverTheLineLayout) {
    const char* const layouts[] = {
        "1\n2\n3\n4\n5\n6\n7\n8\n",
        "1 2\n3 4\n5 6\n7 8\n",
        "1 2 3 4 5 6 7 8\n",
        "\n\n  1\t2\r\n\r\n3 4 5\n6 7 8",
        "1.0 2e0 +3 .4e1 5. 60e-1 7 8 9 10 words after\n",
    };
    for (const char* answers : layouts) {
        run(2, 1, answers);
        EXPECT_FALSE(stopped_) << answers;
        // Every prompt is printed, also for parts that were typed ahead; the matrix itself
        // is not shown.
        EXPECT_EQ(keyboard_prompts(2, 8), out()) << answers;
        expect_matrix(2, {{1, 2}, {3, 4}, {5, 6}, {7, 8}});
        // The record is complete while the run goes on.
        EXPECT_EQ(RECORD_1_TO_8, read_bytes("inv_data.in")) << answers;
    }
}

TEST_F(ReadMatrixTest, KeyboardRecordKeepsSignsExponentsAndReplacesAnOldRecord) {
    write_bytes("inv_data.in", std::string(1000, 'x'));
    run(3, 1, "1 0 -0.5 2 0.0025 -1e300\n -0 0 1e-400 -1e309 123456.5 7\n 1 1 1 1 1 1");
    EXPECT_FALSE(stopped_);
    expect_matrix(3, {{1, 0},
                      {-0.5, 2},
                      {0.0025, -1e300},
                      {-0.0, 0},
                      {0.0, -HUGE_VAL},
                      {123456.5, 7},
                      {1, 1},
                      {1, 1},
                      {1, 1}});
    EXPECT_EQ(
        "(1.00000e+000 , 0.00000e+000 )\t(-5.00000e-001 , 2.00000e+000 )\t"
        "(2.50000e-003 , -1.00000e+300 )\r\n"
        "(0.00000e+000 , 0.00000e+000 )\t(0.00000e+000 , -1.#INF0e+000 )\t"
        "(1.23457e+005 , 7.00000e+000 )\r\n"
        "(1.00000e+000 , 1.00000e+000 )\t(1.00000e+000 , 1.00000e+000 )\t"
        "(1.00000e+000 , 1.00000e+000 )\r\n",
        read_bytes("inv_data.in"));
}

// Feeds standard input one line per read request and notes what the user saw on the
// screen at each request: a prompt must be on the screen before its answer is waited for.
struct LineFeeder {
    std::vector<std::string> lines;
    std::size_t next = 0;
    char** shown = nullptr;
    std::size_t* shown_size = nullptr;
    std::vector<std::string> seen;
};

ssize_t feed_line(void* cookie, char* buffer, std::size_t size) {
    auto* feeder = static_cast<LineFeeder*>(cookie);
    feeder->seen.emplace_back(*feeder->shown != nullptr ? *feeder->shown : "", *feeder->shown_size);
    if (feeder->next == feeder->lines.size()) {
        return 0;
    }
    const std::string& line = feeder->lines[feeder->next++];
    const std::size_t length = line.size() < size ? line.size() : size;
    std::memcpy(buffer, line.data(), length);
    return static_cast<ssize_t>(length);
}

TEST_F(ReadMatrixTest, KeyboardPromptIsOnTheScreenBeforeItsAnswerIsRead) {
    char* shown = nullptr;
    std::size_t shown_size = 0;
    std::FILE* screen = open_memstream(&shown, &shown_size);
    LineFeeder feeder;
    feeder.lines = {"1\n", "2\n", "3\n", "4\n", "5\n", "6\n", "7\n", "8\n"};
    feeder.shown = &shown;
    feeder.shown_size = &shown_size;
    std::FILE* in = fopencookie(&feeder, "r", {feed_line, nullptr, nullptr, nullptr});
    ASSERT_NE(nullptr, in);

    Workspace ws(in, screen, screen);
    clear_workspace(ws);
    ws.n = 2;
    ws.method = 1;
    read_matrix(ws);

    ASSERT_GE(feeder.seen.size(), 8u);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(keyboard_prompts(2, k + 1), feeder.seen[static_cast<std::size_t>(k)])
            << "at the read of answer " << k + 1;
    }
    std::fclose(in);
    std::fclose(screen);
    std::free(shown);
}

struct KeyboardStopCase {
    const char* answers;
    int prompts;  // printed before the stop, the failing one included
    const char* message;
    const char* record;
};

TEST_F(ReadMatrixTest, KeyboardEntryWithoutANumberEndsTheRunKeepingTheRecord) {
    const KeyboardStopCase cases[] = {
        {"1 2\nx 4 5 6 7 8\n", 3, "\n Error:  no number given for a[1][2].r \n",
         "(1.00000e+000 , 2.00000e+000 )\t"},
        {"1 2 3 y\n", 4, "\n Error:  no number given for a[1][2].i \n",
         "(1.00000e+000 , 2.00000e+000 )\t"},
        // "1e+x" gives 1, and the imaginary part then meets "e+x".
        {"1 2 1e+x\n", 4, "\n Error:  no number given for a[1][2].i \n",
         "(1.00000e+000 , 2.00000e+000 )\t"},
        {"1 2 3 4 5 6 7\n", 8, "\n Error:  no number given for a[2][2].i \n",
         "(1.00000e+000 , 2.00000e+000 )\t(3.00000e+000 , 4.00000e+000 )\r\n"
         "(5.00000e+000 , 6.00000e+000 )\t"},
        {"1 2 3 4 5,6 7 8\n", 6, "\n Error:  no number given for a[2][1].i \n",
         "(1.00000e+000 , 2.00000e+000 )\t(3.00000e+000 , 4.00000e+000 )\r\n"},
        {"", 1, "\n Error:  no number given for a[1][1].r \n", ""},
        {"-\n", 1, "\n Error:  no number given for a[1][1].r \n", ""},
    };
    for (const KeyboardStopCase& c : cases) {
        run(2, 1, c.answers);
        EXPECT_TRUE(stopped_) << c.answers;
        EXPECT_EQ(1, status_) << c.answers;
        EXPECT_EQ(keyboard_prompts(2, c.prompts) + c.message, out()) << c.answers;
        // Flushed and closed at the stop, before anything else ends the run.
        EXPECT_EQ(c.record, read_bytes("inv_data.in")) << c.answers;
        EXPECT_FALSE(ws_->record_file.is_open()) << c.answers;
    }
}

TEST_F(ReadMatrixTest, KeyboardEntryGoesOnWhenTheRecordCannotBeCreated) {
    ASSERT_EQ(0, mkdir("inv_data.in", 0700));
    run(2, 1, "1 2 3 4 5 6 7 8");
    EXPECT_FALSE(stopped_);
    EXPECT_EQ(keyboard_prompts(2, 8), out());
    expect_matrix(2, {{1, 2}, {3, 4}, {5, 6}, {7, 8}});
    EXPECT_TRUE(ws_->record_file.failed());
    EXPECT_NE(std::string::npos, err().find("inv_data.in"));
}

// ---- any other method ----

TEST_F(ReadMatrixTest, MethodOtherThanKeyboardOrFileStopsSilently) {
    for (const int method : {0, 3, -1, 7, 2147483647}) {
        run(2, method, "m.txt 1 2 3 4 5 6 7 8\n");
        EXPECT_TRUE(stopped_) << method;
        EXPECT_EQ(1, status_) << method;
        EXPECT_EQ("", out()) << method;
        EXPECT_EQ(MISSING, read_bytes("inv_data.in")) << method;
        EXPECT_FALSE(ws_->input_file.stream) << method;
        // Not even the file name was read.
        EXPECT_EQ("m.txt 1 2 3 4 5 6 7 8\n", unread()) << method;
    }
}

// ---- the input file ----

// 1 - 2i, 3.5 + 0i / -0.25 + 1000i, 0 - 7i as the input echo shows them.
const std::string ECHO_OF_SAMPLE =
    ECHO_HEADING +
    "(1.00000e+000 , -2.00000e+000)\t(3.50000e+000 , 0.00000e+000) \n"
    "(-2.50000e-001 , 1.00000e+003)\t(0.00000e+000 , -7.00000e+000) \n";

TEST_F(ReadMatrixTest, InputFileLayoutInLinesCarriesNoMeaning) {
    const char* const files[] = {
        "1 -2 3.5 0 -0.25 1e3 0 -7\n",
        "1 -2 3.5 0\n-0.25 1e3 0 -7\n",
        "1 -2 3.5 0\r\n-0.25 1e3 0 -7\r\n",
        "1\n-2\n3.5\n0\n-0.25\n1e3\n0\n-7\n",
        "1\r\n-2\r\n3.5\r\n0\r\n-0.25\r\n1e3\r\n0\r\n-7",
        "\n\n \t1\v-2\f3.5\r0 \n\n -.25 1000. 0e5 -7.0e0",
        // More numbers than needed, and words after them: never read.
        "1 -2 3.5 0 -0.25 1e3 0 -7 8 9 10 end of file\n",
    };
    for (const char* file : files) {
        write_bytes("m.txt", file);
        run(2, 2, "m.txt\n");
        EXPECT_FALSE(stopped_) << file;
        expect_matrix(2, {{1, -2}, {3.5, 0}, {-0.25, 1000}, {0, -7}});
        EXPECT_EQ(FILE_PROMPT + ECHO_OF_SAMPLE, out()) << file;
        EXPECT_EQ(MISSING, read_bytes("inv_data.in")) << file;
        // The rest of the answer line stays for a later read.
        EXPECT_EQ("\n", unread()) << file;
    }
}

struct FileStopCase {
    const char* file;
    const char* message;
};

TEST_F(ReadMatrixTest, InputFileRunningOutOfNumbersEndsTheRunWithoutEcho) {
    const FileStopCase cases[] = {
        {"1 2 3 4 5\n", "\n Error:  input file holds no number for a[2][1].i \n"},
        {"1 2 3 4 5 6 7\n", "\n Error:  input file holds no number for a[2][2].i \n"},
        {"1 2 3 4 5 6 7 x\n", "\n Error:  input file holds no number for a[2][2].i \n"},
        {"", "\n Error:  input file holds no number for a[1][1].r \n"},
        {"matrix\n1 2 3 4 5 6 7 8\n", "\n Error:  input file holds no number for a[1][1].r \n"},
        {"1,2,3,4,5,6,7,8\n", "\n Error:  input file holds no number for a[1][1].i \n"},
        {"1;2 3 4 5 6 7 8\n", "\n Error:  input file holds no number for a[1][1].i \n"},
        {"1 2 3 4 nan 6 7 8\n", "\n Error:  input file holds no number for a[2][1].r \n"},
        // A record file of keyboard entry begins with a parenthesis.
        {"(1.00000e+000 , 2.00000e+000 )\t(3.00000e+000 , 4.00000e+000 )\r\n",
         "\n Error:  input file holds no number for a[1][1].r \n"},
    };
    for (const FileStopCase& c : cases) {
        write_bytes("m.txt", c.file);
        run(2, 2, "m.txt\n");
        EXPECT_TRUE(stopped_) << c.file;
        EXPECT_EQ(1, status_) << c.file;
        EXPECT_EQ(FILE_PROMPT + c.message, out()) << c.file;
    }
}

TEST_F(ReadMatrixTest, InputFileThatCannotBeReadEndsTheRun) {
    ASSERT_EQ(0, mkdir("dir", 0700));
    const char* const answers[] = {
        "missing.txt\n",
        "dir\n",
        "",  // end of input at the file-name prompt: an empty name
        "\n \n",
    };
    for (const char* answer : answers) {
        run(2, 2, answer);
        EXPECT_TRUE(stopped_) << answer;
        EXPECT_EQ(1, status_) << answer;
        EXPECT_EQ(FILE_PROMPT + INPUT_FILE_ERROR, out()) << answer;
        EXPECT_EQ(MISSING, read_bytes("inv_data.in")) << answer;
    }
}

TEST_F(ReadMatrixTest, InputFileNameOfMoreThan259CharactersIsRefused) {
    write_bytes("m.txt", "1 2 3 4 5 6 7 8\n");
    // "././.../m.txt": 127 times "./" and "m.txt" make 259 characters.
    std::string name;
    for (int k = 0; k < 127; ++k) {
        name += "./";
    }
    const std::string name_259 = name + "m.txt";
    const std::string name_260 = name + "/m.txt";  // the same file
    ASSERT_EQ(259u, name_259.size());
    ASSERT_EQ(260u, name_260.size());

    run(2, 2, name_259 + "\n");
    EXPECT_FALSE(stopped_);
    expect_matrix(2, {{1, 2}, {3, 4}, {5, 6}, {7, 8}});

    run(2, 2, name_260 + "\n");
    EXPECT_TRUE(stopped_);
    EXPECT_EQ(1, status_);
    EXPECT_EQ(FILE_PROMPT + INPUT_FILE_ERROR, out());
    EXPECT_FALSE(ws_->input_file.stream);

    // A 259-character name that does not exist is tried, and fails to open.
    const std::string missing_259 = name + "nope.";
    ASSERT_EQ(259u, missing_259.size());
    run(2, 2, missing_259 + "\n");
    EXPECT_TRUE(stopped_);
    EXPECT_EQ(FILE_PROMPT + INPUT_FILE_ERROR, out());
}

TEST_F(ReadMatrixTest, InputFileNameTypedAheadAtTheMethodPromptIsUsed) {
    write_bytes("m.txt", "1 2 3 4 5 6 7 8\n");
    prepare(2, 0, "2 m.txt\n");
    ASSERT_TRUE(read_integer(ws_->io.in, ws_->method));
    ASSERT_EQ(2, ws_->method);
    call_read_matrix();
    EXPECT_FALSE(stopped_);
    expect_matrix(2, {{1, 2}, {3, 4}, {5, 6}, {7, 8}});
    EXPECT_EQ(FILE_PROMPT + ECHO_HEADING +
                  "(1.00000e+000 , 2.00000e+000)\t(3.00000e+000 , 4.00000e+000) \n"
                  "(5.00000e+000 , 6.00000e+000)\t(7.00000e+000 , 8.00000e+000) \n",
              out());
}

TEST_F(ReadMatrixTest, InputEchoIsShownUpToDimensionSix) {
    // n = 6: every entry 1 - 1i.
    std::string six;
    for (int k = 0; k < 36; ++k) {
        six += "1 -1\n";
    }
    write_bytes("six.txt", six);
    run(6, 2, "six.txt");
    EXPECT_FALSE(stopped_);
    std::string row;
    for (int col = 0; col < 5; ++col) {
        row += "(1.00000e+000 , -1.00000e+000)\t";
    }
    row += "(1.00000e+000 , -1.00000e+000) \n";
    std::string expected = FILE_PROMPT + ECHO_HEADING;
    for (int r = 0; r < 6; ++r) {
        expected += row;
    }
    EXPECT_EQ(expected, out());

    // n = 7: the entry at row r, column c is (2k) + (2k + 1)i with k = 7r + c.
    std::string seven;
    std::vector<Complex> entries;
    for (int k = 0; k < 49; ++k) {
        seven +=
            std::to_string(2 * k) + " " + std::to_string(2 * k + 1) + (k % 7 == 6 ? "\n" : " ");
        entries.push_back({2.0 * k, 2.0 * k + 1});
    }
    write_bytes("seven.txt", seven);
    run(7, 2, "seven.txt");
    EXPECT_FALSE(stopped_);
    expect_matrix(7, entries);
    EXPECT_EQ(FILE_PROMPT, out());
}

}  // namespace
}  // namespace cmatinv
