#pragma once

#include "workspace/workspace.hpp"

namespace cmatinv {

// Reduces `a` to upper triangular form with partial pivoting and applies every row
// exchange and row operation to `inv` as well. A zero pivot ends the run.
void forward_eliminate(Workspace& ws);

}  // namespace cmatinv
