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

#include "test_support.hpp"

namespace cmatinv {
namespace {

namespace fs = std::filesystem;

class ResultFileTest : public ::testing::Test {
protected:
    std::string err_text() { return err_stream_.text(); }
    static std::string content(const fs::path& path) { return test_support::file_content(path); }

    test_support::InTempDir dir_holder_;
    const fs::path& dir_ = dir_holder_.path();
    test_support::MemoryStream err_stream_;
    std::FILE* err_ = err_stream_.stream();
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
