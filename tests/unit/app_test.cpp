// The set-up dialogue and the run's sequence, driven through in-memory streams.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/read_setup.hpp"
#include "workspace/error_stop.hpp"
#include "workspace/workspace.hpp"

namespace cmatinv {
namespace {

const std::string ASK_N = "\n The input matrix has dimension n x n. \n\n Enter n \n";
const std::string ASK_METHOD = "\n\n Select data entry method:  1=keyboard  2=input file \n";
const std::string TOO_LARGE = "\n Error:  maximum dimension = 20 \n";
const std::string TOO_SMALL = "\n Error:  minimum dimension = 2 \n";

struct SetupCase {
    const char* what;
    std::string typed;
    bool stops;
    int n;
    int method;
    std::string printed;
};

const SetupCase SETUP_CASES[] = {
    {"largest dimension", "20\n1\n", false, 20, 1, ASK_N + ASK_METHOD},
    {"smallest dimension", "2\n2\n", false, 2, 2, ASK_N + ASK_METHOD},
    {"one above the largest", "21\n", true, 21, 0, ASK_N + TOO_LARGE},
    {"digits beyond 32 bits clamp, never wrap", "99999999999\n", true, 2147483647, 0,
     ASK_N + TOO_LARGE},
    {"4294967298 does not wrap to 2", "4294967298\n1\n", true, 2147483647, 0, ASK_N + TOO_LARGE},
    {"one", "1\n", true, 1, 0, ASK_N + TOO_SMALL},
    {"zero", "0\n", true, 0, 0, ASK_N + TOO_SMALL},
    {"negative", "-5\n", true, -5, 0, ASK_N + TOO_SMALL},
    {"very negative clamps", "-99999999999\n", true, -2147483647 - 1, 0, ASK_N + TOO_SMALL},
    {"letters leave n at zero", "abc\n", true, 0, 0, ASK_N + TOO_SMALL},
    {"end of input", "", true, 0, 0, ASK_N + TOO_SMALL},
    {"empty lines are passed over", "\n\n  \n3\n\n1\n", false, 3, 1, ASK_N + ASK_METHOD},
    {"3.5 gives n 3 and no method", "3.5\n1\n", false, 3, 0, ASK_N + ASK_METHOD},
    {"answers typed ahead on one line", "4 2\n", false, 4, 2, ASK_N + ASK_METHOD},
    {"method of 7 passes unchanged", "2\n7\n", false, 2, 7, ASK_N + ASK_METHOD},
    {"method clamps too", "2\n99999999999\n", false, 2, 2147483647, ASK_N + ASK_METHOD},
    {"explicit plus sign", "+2\n+1\n", false, 2, 1, ASK_N + ASK_METHOD},
};

TEST(SetupDialogue, AsksForDimensionAndMethodAndRefusesBadDimensions) {
    for (const SetupCase& c : SETUP_CASES) {
        std::string typed = c.typed;
        std::FILE* in = fmemopen(typed.data(), typed.size(), "r");
        if (typed.empty()) {
            in = std::fopen("/dev/null", "r");
        }
        char* printed = nullptr;
        std::size_t printed_size = 0;
        std::FILE* out = open_memstream(&printed, &printed_size);
        bool stopped = false;
        {
            Workspace ws(in, out, nullptr);
            try {
                read_setup(ws);
            } catch (const ErrorStop& stop) {
                stopped = true;
                EXPECT_EQ(stop.status, 1) << c.what;
            }
            EXPECT_EQ(ws.n, c.n) << c.what;
            EXPECT_EQ(ws.method, c.method) << c.what;
        }
        std::fclose(out);
        std::fclose(in);
        EXPECT_EQ(stopped, c.stops) << c.what;
        EXPECT_EQ(std::string(printed, printed_size), c.printed) << c.what;
        std::free(printed);
    }
}

}  // namespace
}  // namespace cmatinv
