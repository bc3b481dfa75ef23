#include <cstdio>

#include "app/run.hpp"
#include "console/key_wait.hpp"
#include "workspace/error_stop.hpp"

// Command-line arguments are ignored.
int main() {
    using namespace cmatinv;
    Workspace ws(stdin, stdout, stderr);
    int status = 0;
    try {
        run(ws);
        // Every result file is closed by now; a failed one makes the status 1.
        status = completed_run_status(ws);
        std::fflush(stdout);
        // The key's value is not handed back: a completed run ends with status 0.
        wait_for_key();
    } catch (const ErrorStop& stop) {
        status = stop.status;
    }
    std::fflush(stdout);
    return status;
}
