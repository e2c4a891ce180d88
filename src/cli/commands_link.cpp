#include "cli/batch.h"

namespace trevolan::cli {

namespace {

void NotAvailableYet(const Command&) { throw SimError("not available yet"); }

}  // namespace

void AddLinkCommands(Batch& b) { b.Add("link", 1, 1, NotAvailableYet); }

}  // namespace trevolan::cli
