// Includes a header of the editing room; built by the layer tests.
#include "editing/undo.h"
