#pragma once

#include "workspace/workspace.hpp"

namespace cmatinv {

// One run from the banner to the closing summary, every stage once in its fixed order.
// An error end throws ErrorStop; the final key wait is the caller's.
void run(Workspace& ws);

// The part of a run after the input is saved: the determinant gate, the inversion, the
// inverse and error files and the three determinant reports.
void invert_and_report(Workspace& ws);

}  // namespace cmatinv
