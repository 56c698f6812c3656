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
    {
        const unsigned char bytes[] = {0x1B, 0x40};
        void *port = CP_Port_OpenMemoryBuffer(16);
        bool ok = port != NULL && CP_Port_Write(port, bytes, 2, 100) == 2 &&
                  CP_Port_GetMemoryBufferDataLength(port) == 2 &&
                  memcmp(CP_Port_GetMemoryBufferDataPointer(port), bytes, 2) == 0 &&
                  CP_Port_Close(port) && !CP_Port_Close(port);
        if (!ok) {
            fprintf(stderr, "memory port failed\n");
            return 1;
        }
    }
    {
        unsigned char modules[97];
        bool ok = CP_Barcode_GetBarcodeWidth(2, 2, "400638133393") == 190 &&
                  CP_Qrcode_GetQrcodeWidth("HELLO", 1, 1) == 21 && EAN13_build("400638133393", modules) == 0;
        if (!ok) {
            fprintf(stderr, "symbol renderers failed\n");
            return 1;
        }
    }
    {
        unsigned int required = 1;
        unsigned char data[2] = {1, 2};
        unsigned int nonce = 0;
        unsigned char key;
        (void)CP_Port_EnumCom(NULL, 0, &required); /* a size, whatever the machine has */
        key = CP_CRC_Encrypt(data, 2, data, &nonce);
        if (data[0] != (1 ^ key) || data[1] != (2 ^ key) || nonce > 0xFFFF ||
            CP_BlackMark_FindNextBlackMark(NULL) != 0) {
            fprintf(stderr, "periphery calls failed\n");
            return 1;
        }
    }
    return 0;
}
