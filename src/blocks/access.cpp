#include <algorithm>

#include "blocks/access.h"

#include "blocks/compute.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

constexpr int32_t kListCode = 17;

int32_t* IntField(TBlock& b, int32_t code) {
  switch (code) {
    case 1: return &b.OnOff;
    case 2: return &b.Displ;
    case 3: return &b.State;
    case 4: return &b.XX;
    case 5: return &b.YY;
    case 6: return &b.An;
    case 7: return &b.Bn;
    case 8: return &b.Cn;
    case 9: return &b.Dn;
    case 10: return &b.Pn;
    default: return nullptr;
  }
}

double* DoubleField(TBlock& b, int32_t code) {
  switch (code) {
    case 11: return &b.aa;
    case 12: return &b.bb;
    case 13: return &b.cc;
    case 14: return &b.dd;
    case 15: return &b.pp;
    case 16: return &b.Value;
    default: return nullptr;
  }
}

// Copies stored[0..m] of one block into the other, m the smaller highest index; both
// lists keep their lengths. Any target is allowed, the system blocks included.
void CopyList(Sim& s, int64_t from, int64_t to) {
  const TBlock& source = s.block(from);
  TBlock& target = s.block(to);
  const int64_t m = std::min(StoredHigh(source), StoredHigh(target));
  if (m < 1 || from == to) return;
  std::copy(source.stored.begin(), source.stored.begin() + m + 1, target.stored.begin());
}

}  // namespace

double ReadField(Sim& s, int64_t id, int32_t code) {
  TBlock& b = s.block(id);
  if (const int32_t* f = IntField(b, code)) return *f;
  if (const double* f = DoubleField(b, code)) return *f;
  return 0;
}

void WriteField(Sim& s, int64_t id, int32_t code, double x, int access_id) {
  TBlock& b = s.block(id);
  // Every write is rounded and range-checked, whatever field it goes to.
  const int32_t rounded = BlockInt32(x, access_id, "written value");
  if (int32_t* f = IntField(b, code)) *f = rounded;
  if (code == 4 || code == 5 || code == 10) s.QuietDrawing = false;  // a move or a Sine's phase link
  if (double* f = DoubleField(b, code)) *f = x;
}

void ComputeAccess(Sim& s, int id) {
  TBlock& k = s.block(id);
  if (k.OnOff <= 0) return;
  k.Value = 0;
  const int32_t ca = BlockInt32(k.aa, id, "access code aa");
  const int32_t cb = BlockInt32(k.bb, id, "access code bb");
  if (k.An >= 2) k.Value = Finite(ReadField(s, k.An, ca), id);  // blocks 0 and 1 are never read
  if (k.Bn > kReservedIDs) WriteField(s, k.Bn, cb, k.Value, id);
  const int32_t cc = BlockInt32(k.cc, id, "access code cc");
  const int32_t cd = BlockInt32(k.dd, id, "access code dd");
  const double t = k.Cn >= 2 ? ReadField(s, k.Cn, cc) : 0;
  if (k.Dn > kReservedIDs) WriteField(s, k.Dn, cd, t, id);
  if (ca == kListCode && cb == kListCode) CopyList(s, k.An, k.Bn);
  if (cc == kListCode && cd == kListCode) CopyList(s, k.Cn, k.Dn);
}

}  // namespace trevolan
