#pragma once

#include "workspace/workspace.hpp"

namespace cmatinv {

// Adds a_copy x inv into err_mat, shows it for small n and writes "inv_err.out".
void error_analysis(Workspace& ws);

}  // namespace cmatinv
