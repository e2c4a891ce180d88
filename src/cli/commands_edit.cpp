#include "cli/batch.h"

namespace trevolan::cli {

namespace {

void NotAvailableYet(const Command&) { throw SimError("not available yet"); }

}  // namespace

void AddEditCommands(Batch& b) {
  b.Add("click", 1, 1, NotAvailableYet);
  b.Add("create", 1, 3, NotAvailableYet);
  b.Add("insert", 2, 4, NotAvailableYet);
  b.Add("copy", 2, 4, NotAvailableYet);
  b.Add("delete", 1, 1, NotAvailableYet);
  b.Add("apply", 1, Batch::kMany, NotAvailableYet);
  b.Add("timing", 0, Batch::kMany, NotAvailableYet);
  b.Add("timing-defaults", 0, 0, NotAvailableYet);
  b.Add("numbers", 0, Batch::kMany, NotAvailableYet);
  b.Add("numbers-defaults", 0, 0, NotAvailableYet);
}

}  // namespace trevolan::cli
