#pragma once

#include "workspace/workspace.hpp"

namespace cmatinv {

// Shows the inverse for small n and writes it to "inv_data.out".
void write_inverse(Workspace& ws);

}  // namespace cmatinv
