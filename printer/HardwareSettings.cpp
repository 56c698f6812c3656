// Hardware settings and data scrambling: the exported calls.
#include "printer/HardwareSettings.h"

#include <cstdlib>
#include <ctime>

#include "ports/NZCrc8.h"
#include "printer/HandleCall.h"
#include "printer/PrinterHardwareFunction.h"
#include "printer/RAZISettingPackage.h"
#include "quorvantelmise.h"

uint8_t CRC8(const unsigned char* data, unsigned length, unsigned char polynomial) {
    return NZCrc8RightShift(data, length, 0xFF, polynomial);
}

uint8_t CrcEncryptKey(uint16_t nonce) {
    const unsigned char block[6] = {static_cast<unsigned char>(nonce >> 8),
                                    static_cast<unsigned char>(nonce),
                                    kCrcEncryptKeyConstant[0], kCrcEncryptKeyConstant[1],
                                    kCrcEncryptKeyConstant[2], kCrcEncryptKeyConstant[3]};
    return CRC8(block, sizeof block, kCrcEncryptPolynomial);
}

int CP_Settings_Hardware_SetPrintSpeed(void* handle, int nSpeed) {
    return handle_call::SettingsCommand(handle, [&](RAZISettingPackage& settings) {
        PrinterHardwareFunction function;
        function.f[PrinterHardwareFunction::kPrintSpeedFlag] = 1;
        function.f[PrinterHardwareFunction::kPrintSpeedValue] = static_cast<uint32_t>(nSpeed);
        return settings.Setting_Hardware_FunctionSelect(&function);
    });
}

unsigned char CP_CRC_Encrypt(const unsigned char* data, unsigned int length, unsigned char* out,
                             unsigned int* nonce) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    const uint16_t fresh = static_cast<uint16_t>(std::rand() & 0xFFFF);
    const uint8_t key = CrcEncryptKey(fresh);
    if (data != nullptr && out != nullptr) {
        for (unsigned int i = 0; i < length; ++i) out[i] = data[i] ^ key;
    }
    if (nonce != nullptr) *nonce = fresh;
    return key;
}
