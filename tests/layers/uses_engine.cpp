// Includes a header of the engine room; built by the layer tests.
#include "engine/run_loop.h"
