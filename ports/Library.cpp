#include "quorvantelmise.h"

const char *CP_Library_Version(void) { return "1.0.7.20210909"; }
