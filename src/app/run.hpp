#pragma once

#include "workspace/workspace.hpp"

namespace cmatinv {

// One run from the banner to the closing summary, every stage once in its fixed order.
// An error end throws ErrorStop; the final key wait is the caller's.
void run(Workspace& ws);

}  // namespace cmatinv
