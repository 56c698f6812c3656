#include "ports/NZUsbProductSerialNumberIO.h"

#include <cstdlib>
#include <string>

bool NZUsbProductSerialNumberIO::Open(const char* name) {
    ClearFlags();
    if (name == nullptr) return IsOpened();
    std::string text = name;
    int interface_number = 0;
    const size_t mi = text.find(",MI:");
    if (mi != std::string::npos) {
        interface_number = std::atoi(text.c_str() + mi + 4);
        text.resize(mi);
    }
    const size_t slash = text.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == text.size()) return IsOpened();
    const std::string product = text.substr(0, slash);
    const std::string serial = text.substr(slash + 1);
    return OpenUsbProductSerialNumberMi(product.c_str(), serial.c_str(), interface_number);
}

bool NZUsbProductSerialNumberIO::OpenUsbProductSerialNumberMi(const char*, const char*, int) {
    ClearFlags();
    return IsOpened();
}
