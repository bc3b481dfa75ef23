#pragma once

#include "workspace/workspace.hpp"

namespace cmatinv {

// Fills the leading n x n block of `a` from the keyboard (method 1, recorded in
// "inv_data.in") or from an input file (method 2); any other method ends the run.
void read_matrix(Workspace& ws);

}  // namespace cmatinv
