#include "editing/toggle.h"

#include "blocks/compute.h"

namespace trevolan {

void ToggleBlock(Sim& s, int64_t id) {
  TBlock& b = s.block(id);
  if (b.Type == BlockType::Witch && b.State == 0 && b.An == 0) {
    b.aa += 1;
    if (b.aa > 4.5) b.aa = 0;
  } else {
    b.OnOff = b.OnOff == 0 ? 1 : 0;
  }
  ClearIntegratorInlets(s);
  ComputeAllBlocks(s);
  s.NotifyRedrawDiagram();
}

}  // namespace trevolan
