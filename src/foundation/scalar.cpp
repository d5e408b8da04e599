// placeholder, filled in by its unit
#include "ORK_math1.h"
