#include "blocks/compute.h"
#include "blocks/transfer.h"

namespace trevolan {

// A Container is passive: others take from it and drop into it; its own pass only
// refreshes its state, whether it is on or off.
void ComputeContainer(Sim& s, int id) { UpdateContainerState(s, id); }

void UpdateContainerState(Sim& s, int64_t id) {
  if (id <= kReservedIDs) return;
  TBlock& b = s.block(id);
  if (b.Type != 'C') return;
  const double max = s.V(b.Cn) + b.cc;
  // In this order, a later rule overriding an earlier one: an empty container of
  // capacity 0 reads as full.
  if (b.Value <= 0) b.State = 1;
  if (b.Value > 0 && b.Value < max) b.State = 2;
  if (b.Value >= max) b.State = 3;
  if (s.AnimFlag) s.NotifyDrawBlock(static_cast<int>(id));
}

}  // namespace trevolan
