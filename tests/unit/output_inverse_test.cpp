// The two result writers: the inverse ("inv_data.out") and the error matrix
// ("inv_err.out"), each with its screen form for small matrices.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

#include "numeric/error_analysis.hpp"
#include "output/write_inverse.hpp"
#include "test_support.hpp"
#include "workspace/workspace.hpp"

namespace cmatinv {
namespace {

namespace fs = std::filesystem;

const std::string INVERSE_HEADING = "\n\n Inverse Matrix \n\n";
const std::string ERROR_HEADING =
    "\n Error Analysis: \n Input Matrix x Inverse Matrix (should equal identity matrix). \n\n";

// The file of the 2 x 2 identity: 2 lines of 29 + 1 + 29 + 2 bytes.
const std::string IDENTITY_FILE =
    "(1.00000e+000 , 0.00000e+000)\t(0.00000e+000 , 0.00000e+000)\r\n"
    "(0.00000e+000 , 0.00000e+000)\t(1.00000e+000 , 0.00000e+000)\r\n";

// Runs each test in a fresh temporary directory, with the console in memory.
class ResultWriter : public testing::Test {
protected:
    // A workspace whose both writers write `m`: inv = m, and a_copy the identity, so that
    // a_copy x inv is m again.
    Workspace& workspace(int n, const ComplexMatrix& m) {
        ws_ = std::make_unique<Workspace>(nullptr, out_.stream(), err_.stream());
        clear_workspace(*ws_);
        ws_->n = n;
        ws_->a_copy = ws_->inv;
        ws_->inv = m;
        return *ws_;
    }
    std::string screen() { return out_.text(); }
    std::string errors() { return err_.text(); }
    static std::string content(const char* name) { return test_support::file_content(name); }

    // Declared first, so it is left last, after the workspace has closed its files.
    test_support::InTempDir dir_;
    test_support::MemoryStream out_;
    test_support::MemoryStream err_;
    std::unique_ptr<Workspace> ws_;
};

ComplexMatrix identity() {
    ComplexMatrix m{};
    for (int p = 0; p < MAX_DIM; ++p) {
        m[p][p] = {1.0, 0.0};
    }
    return m;
}

// Entry (row, col) is (row + 1) - (col + 1)i: single digits, whose text is known.
ComplexMatrix numbered() {
    ComplexMatrix m{};
    for (int row = 0; row < MAX_DIM; ++row) {
        for (int col = 0; col < MAX_DIM; ++col) {
            m[row][col] = {row + 1.0, -(col + 1.0)};
        }
    }
    return m;
}

// The text of a value from -9 to 9 other than 0.
std::string digit_text(int value) {
    std::string text = value < 0 ? "-" : "";
    text += static_cast<char>('0' + std::abs(value));
    text += ".00000e+000";
    return text;
}

// The rows of numbered() as text, each ended by `row_end`.
std::string numbered_rows(int n, const std::string& row_end) {
    std::string text;
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            text += '(';
            text += digit_text(row + 1);
            text += " , ";
            text += digit_text(-(col + 1));
            text += ')';
            text += col < n - 1 ? "\t" : row_end;
        }
    }
    return text;
}

TEST_F(ResultWriter, WritesTheTwoByTwoIdentityInverseAsExactly122Bytes) {
    Workspace& ws = workspace(2, identity());
    write_inverse(ws);
    EXPECT_EQ(content("inv_data.out"), IDENTITY_FILE);
    EXPECT_EQ(IDENTITY_FILE.size(), 122u);
    EXPECT_EQ(screen(), INVERSE_HEADING +
                            "(1.00000e+000 , 0.00000e+000)\t(0.00000e+000 , 0.00000e+000) \n"
                            "(0.00000e+000 , 0.00000e+000)\t(1.00000e+000 , 0.00000e+000) \n");
    EXPECT_FALSE(ws.inverse_file.is_open()) << "closed as soon as it is written";
}

TEST_F(ResultWriter, InverseEndsScreenRowsWithABlankAndFileRowsBare) {
    ComplexMatrix m{};
    m[0][0] = {1, 0};
    m[0][1] = {-0.5, 2};
    m[1][0] = {-0.0, -0.0};  // no minus sign on a zero
    m[1][1] = {1, 0};
    write_inverse(workspace(2, m));
    const std::string row0 = "(1.00000e+000 , 0.00000e+000)\t(-5.00000e-001 , 2.00000e+000)";
    const std::string row1 = "(0.00000e+000 , 0.00000e+000)\t(1.00000e+000 , 0.00000e+000)";
    EXPECT_EQ(screen(), INVERSE_HEADING + row0 + " \n" + row1 + " \n");
    EXPECT_EQ(content("inv_data.out"), row0 + "\r\n" + row1 + "\r\n");
}

TEST_F(ResultWriter, ErrorAnalysisShowsTheProductAndWritesItToItsFile) {
    Workspace& ws = workspace(2, identity());
    error_analysis(ws);
    EXPECT_EQ(content("inv_err.out"), IDENTITY_FILE);
    EXPECT_EQ(screen(), ERROR_HEADING +
                            "(1.00000e+000 , 0.00000e+000)\t(0.00000e+000 , 0.00000e+000)\n"
                            "(0.00000e+000 , 0.00000e+000)\t(1.00000e+000 , 0.00000e+000)\n");
    EXPECT_FALSE(ws.error_file.is_open()) << "closed as soon as it is written";
}

// ---- what both writers share ----

struct Site {
    const char* name;
    void (*write)(Workspace&);
    const char* file;
    const std::string* heading;
    const char* screen_row_end;
};

void PrintTo(const Site& site, std::ostream* out) {
    *out << site.name;
}

const Site SITES[] = {
    {"Inverse", write_inverse, "inv_data.out", &INVERSE_HEADING, " \n"},
    {"ErrorAnalysis", error_analysis, "inv_err.out", &ERROR_HEADING, "\n"},
};

class EachWriter : public ResultWriter, public testing::WithParamInterface<Site> {};

TEST_P(EachWriter, ShowsTheMatrixUpToSixAndAlwaysWritesTheWholeFile) {
    const Site& site = GetParam();
    for (const int n : {6, 7}) {
        SCOPED_TRACE(testing::Message() << "n " << n);
        const std::string before = screen();
        site.write(workspace(n, numbered()));
        const std::string shown = screen().substr(before.size());
        EXPECT_EQ(shown, n <= 6 ? *site.heading + numbered_rows(n, site.screen_row_end) : "");
        EXPECT_EQ(content(site.file), numbered_rows(n, "\r\n"));
    }
}

TEST_P(EachWriter, FileOfTwentyRowsHoldsTwentyLinesOfTwentyEntries) {
    const Site& site = GetParam();
    site.write(workspace(MAX_DIM, numbered()));
    EXPECT_EQ(screen(), "");
    const std::string text = content(site.file);
    ASSERT_TRUE(text.ends_with("\r\n"));
    int lines = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string_view line(text.data() + start, end - start);
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 19) << "line " << lines;
        EXPECT_EQ(std::count(line.begin(), line.end(), '('), 20) << "line " << lines;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 0) << "line " << lines;
        EXPECT_TRUE(line.ends_with(")")) << "line " << lines;
        ++lines;
        start = end + 2;
    }
    EXPECT_EQ(lines, 20);
}

TEST_P(EachWriter, ReplacesAnOldLargerFile) {
    const Site& site = GetParam();
    std::ofstream(site.file, std::ios::binary) << std::string(4096, 'x');
    site.write(workspace(2, identity()));
    EXPECT_EQ(content(site.file), IDENTITY_FILE);
}

TEST_P(EachWriter, GoesOnWhenItsFileCannotBeCreated) {
    const Site& site = GetParam();
    fs::create_directory(site.file);  // a folder stands in the way
    Workspace& ws = workspace(2, identity());
    site.write(ws);
    EXPECT_NE(errors().find(site.file), std::string::npos) << errors();
    EXPECT_EQ(screen(), *site.heading +
                            "(1.00000e+000 , 0.00000e+000)\t(0.00000e+000 , 0.00000e+000)" +
                            site.screen_row_end +
                            "(0.00000e+000 , 0.00000e+000)\t(1.00000e+000 , 0.00000e+000)" +
                            site.screen_row_end);
    // The product is kept for the determinant that follows.
    if (site.write == error_analysis) {
        EXPECT_EQ(ws.err_mat[0][0].r, 1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(ResultFiles, EachWriter, testing::ValuesIn(SITES),
                         [](const testing::TestParamInfo<Site>& info) { return info.param.name; });

}  // namespace
}  // namespace cmatinv
