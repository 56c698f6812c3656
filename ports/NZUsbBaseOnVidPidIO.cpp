#include "ports/NZUsbBaseOnVidPidIO.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr size_t kVidPidLength = 21;       // VID:0xVVVV,PID:0xPPPP
constexpr size_t kVidPidMiLength = 27;     // VID:0xVVVV,PID:0xPPPP,MI:nn

// "0x" and the four characters at position of name, base 16.
unsigned short hexId(const char* name, size_t position) {
    const std::string text = "0x" + std::string(name + position, 4);
    return static_cast<unsigned short>(std::strtol(text.c_str(), nullptr, 16));
}

}  // namespace

bool NZUsbBaseOnVidPidIO::Open(const char* name) {
    ClearFlags();
    if (name == nullptr) return IsOpened();
    const size_t length = std::strlen(name);
    if (length != kVidPidLength && length != kVidPidMiLength) return IsOpened();
    const unsigned short vid = hexId(name, 6);
    const unsigned short pid = hexId(name, 17);
    if (length == kVidPidLength) return OpenUsbVidPid(vid, pid);
    const std::string interface_text(name + 25, 2);
    return OpenUsbVidPidMi(vid, pid, std::atoi(interface_text.c_str()));
}

bool NZUsbBaseOnVidPidIO::OpenUsbVidPidMi(unsigned short, unsigned short, int) {
    ClearFlags();
    return IsOpened();
}

bool NZUsbBaseOnVidPidIO::OpenUsbVidPid(unsigned short vid, unsigned short pid) {
    return OpenUsbVidPidMi(vid, pid, -1);
}

bool NZUsbBaseOnVidPidIO::InitUsbDevice(unsigned short, unsigned short, void*) { return true; }
