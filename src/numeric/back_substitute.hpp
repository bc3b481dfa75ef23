#pragma once

#include "workspace/workspace.hpp"

namespace cmatinv {

// Solves the triangular system left in `a` for every column of `inv`, turning `inv`
// into the inverse.
void back_substitute(Workspace& ws);

}  // namespace cmatinv
