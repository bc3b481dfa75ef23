#pragma once

#include "workspace/workspace.hpp"

namespace cmatinv {

// Asks for the dimension n and the entry method; a dimension outside 2..20 ends the run.
void read_setup(Workspace& ws);

}  // namespace cmatinv
