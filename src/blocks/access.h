#pragma once
#include "model/sim.h"

// The Access block's view of other blocks' fields by numeric code: 1..10 the integer
// fields OnOff, Displ, State, XX, YY, An, Bn, Cn, Dn, Pn; 11..16 the doubles aa, bb,
// cc, dd, pp, Value; 17 the stored list as a whole, which only a pair of codes 17
// copies. Any other code reads 0 and writes nothing.
namespace trevolan {

// The field as a double; 0 for codes without a field.
double ReadField(Sim& s, int64_t id, int32_t code);
// Stores x, rounded (halves to even) into the integer fields. The rounding is
// range-checked for every write, whatever the code: RangeError beyond 32 bits, naming
// the Access block `access_id` that writes.
void WriteField(Sim& s, int64_t id, int32_t code, double x, int access_id);

}  // namespace trevolan
