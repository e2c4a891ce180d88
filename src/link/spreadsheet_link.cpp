#include "blocks/compute.h"

namespace trevolan {

// Not linked yet: the user block exchanges nothing.
void ExchangeWithSpreadsheet(Sim& /*s*/) {}

}  // namespace trevolan
