// The library's version number, for programs to compare with the header they were built with.
#include "vexa/vexa.h"

uint32_t VexaVersion(void) { return VEXA_VERSION; }
