// Result files: CR LF line ends on every platform, and failures that are reported once and
// never written through.
#include "workspace/result_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace cmatinv {
namespace {

namespace fs = std::filesystem;

class ResultFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/cmatinv-result-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        err_ = open_memstream(&err_text_, &err_size_);
    }
    void TearDown() override {
        std::fclose(err_);
        std::free(err_text_);
        fs::remove_all(dir_);
    }
    std::string err_text() {
        std::fflush(err_);
        return {err_text_, err_size_};
    }
    static std::string content(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
    std::FILE* err_ = nullptr;
    char* err_text_ = nullptr;
    std::size_t err_size_ = 0;
};

TEST_F(ResultFileTest, StoresEveryLineEndAsCarriageReturnLineFeed) {
    const std::string name = (dir_ / "out").string();
    ResultFile file;
    file.open(name.c_str(), err_);
    file.write("a\tb\n");
    file.write("\nc");
    file.write("\n");
    file.close();
    EXPECT_EQ(content(name), "a\tb\r\n\r\nc\r\n");
    EXPECT_FALSE(file.failed());
    EXPECT_EQ(err_text(), "");
}

TEST_F(ResultFileTest, ReplacesAnOldFile) {
    const std::string name = (dir_ / "out").string();
    std::ofstream(name) << "an old and much longer content\n";
    ResultFile file;
    file.open(name.c_str(), err_);
    file.write("x\n");
    file.close();
    EXPECT_EQ(content(name), "x\r\n");
}

TEST_F(ResultFileTest, FolderInTheWayIsReportedOnceAndNothingIsWritten) {
    const std::string name = (dir_ / "inv_data.out").string();
    fs::create_directory(name);
    ResultFile file;
    file.open(name.c_str(), err_);
    file.write("x\n");
    file.flush();
    file.close();
    EXPECT_TRUE(file.failed());
    EXPECT_TRUE(fs::is_directory(name));
    EXPECT_TRUE(fs::is_empty(name));
    EXPECT_EQ(err_text(), "cmatinv: cannot create " + name + ": Is a directory\n");
}

TEST_F(ResultFileTest, FullDiskIsReportedAtTheFlush) {
    ResultFile file;
    file.open("/dev/full", err_);
    EXPECT_FALSE(file.failed());
    file.write("(1.00000e+000 , 0.00000e+000 )\t");
    file.flush();
    EXPECT_TRUE(file.failed());
    EXPECT_FALSE(file.is_open());
    file.write("more\n");
    file.close();
    EXPECT_EQ(err_text(), "cmatinv: cannot write /dev/full: No space left on device\n");
}

TEST_F(ResultFileTest, FullDiskIsReportedAtTheClose) {
    ResultFile file;
    file.open("/dev/full", err_);
    file.write("x\n");
    file.close();
    EXPECT_TRUE(file.failed());
    EXPECT_EQ(err_text(), "cmatinv: cannot write /dev/full: No space left on device\n");
}

}  // namespace
}  // namespace cmatinv
