// Saves that must keep what the files carry, and text that crosses between
// the two stores.
#include "tests/SaveSupport.h"
