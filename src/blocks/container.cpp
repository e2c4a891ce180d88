#include "blocks/compute.h"
#include "blocks/transfer.h"

namespace trevolan {

void ComputeContainer(Sim& s, int id) { UpdateContainerState(s, id); }

void UpdateContainerState(Sim& s, int64_t id) {
  if (id <= kReservedIDs) return;
  TBlock& b = s.block(id);
  if (b.Type != 'C') return;
  const double max = s.V(b.Cn) + b.cc;
  if (b.Value <= 0) b.State = 1;
  if (b.Value > 0 && b.Value < max) b.State = 2;
  if (b.Value >= max) b.State = 3;
  if (s.AnimFlag) s.NotifyDrawBlock(static_cast<int>(id));
}

}  // namespace trevolan
