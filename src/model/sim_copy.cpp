#include "model/sim_copy.h"

namespace trevolan {

void CopyModelState(const Sim& from, Sim& to) {
  to.model() = from.model();
  to.run() = from.run();
  to.view() = from.view();
  to.TapeIndex = -1;  // the tape's rows stay behind
}

}  // namespace trevolan
