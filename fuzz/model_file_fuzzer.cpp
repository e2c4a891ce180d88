// libFuzzer target: the model reader must never crash or hang on any input, and what
// it read must always be writable again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/model_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static trevolan::Sim* s = new trevolan::Sim();
  trevolan::ClearBlockTable(*s);
  trevolan::SetSystemDefaults(*s);
  trevolan::LoadTimingGlobals(*s);
  s->HighestBlock = 100;
  s->TapeChannels = 0;
  try {
    trevolan::ReadModelText(*s, std::string(reinterpret_cast<const char*>(data), size));
  } catch (const trevolan::SimError&) {
  }
  (void)trevolan::ModelFileText(*s, "fuzz");
  return 0;
}
