// Includes a header of the display room; built by the layer tests.
#include "display/canvas.h"
