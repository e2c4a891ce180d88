#pragma once
#include <string>

#include "model/sim.h"

// A model's state as bytes that bring it back bit for bit: every field of the table of
// fields (each block's and the globals), the tape's recorded rows and the random
// generator with the blocks' streams. A model file rounds numbers to 15 digits and
// writes a space in a name as '_'; this is what a pickle adds to it.
namespace trevolan::python {

std::string ExactState(const Sim& s);

// Writes what ExactState read into `s`; std::invalid_argument for bytes it did not make.
void RestoreExactState(Sim& s, const std::string& bytes);

}  // namespace trevolan::python
