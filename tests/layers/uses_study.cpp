// Includes a header of the study room; built by the layer tests.
#include "study/study.h"
