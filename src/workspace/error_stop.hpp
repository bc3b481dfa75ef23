#pragma once

namespace cmatinv {

// Thrown by the stage that ends the run with an error, after it has printed its message
// (if any). Only main catches it; the status becomes the process's exit status.
struct ErrorStop {
    int status = 1;
};

}  // namespace cmatinv
