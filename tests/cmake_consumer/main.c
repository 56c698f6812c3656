#include <quorvantelmise.h>
#include <stdio.h>

int main(void) {
    puts(CP_Library_Version());
    return 0;
}
