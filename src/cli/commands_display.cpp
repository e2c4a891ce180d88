#include "cli/batch.h"

namespace trevolan::cli {

namespace {

void NotAvailableYet(const Command&) { throw SimError("not available yet"); }

}  // namespace

void AddDisplayCommands(Batch& b) {
  b.Add("render-diagram", 1, 1, NotAvailableYet);
  b.Add("render-plot", 1, 1, NotAvailableYet);
}

}  // namespace trevolan::cli
