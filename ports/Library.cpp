#include "quorvantelmise.h"

const char *CP_Library_Version(void) { return "1.0.7.20210909"; }

// This platform keeps no log: the switches are accepted and change nothing.
void CP_Logger_SetDebugEnabled(int) {}
void CP_Logger_SetLogToFile(const char *) {}
