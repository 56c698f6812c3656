/* Compiled as strict C99: the public header must stay plain C and link as a C program. */
#include "quorvantelmise.h"

#include <stdio.h>
#include <string.h>

int main(void) {
    const char *version = CP_Library_Version();
    if (version == NULL || strcmp(version, "1.0.7.20210909") != 0) {
        fprintf(stderr, "unexpected version\n");
        return 1;
    }
    return 0;
}
