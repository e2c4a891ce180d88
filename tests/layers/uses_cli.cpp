// Includes a header of the cli room; built by the layer tests.
#include "cli/script.h"
