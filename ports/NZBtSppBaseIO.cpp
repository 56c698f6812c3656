#include "ports/NZBtSppBaseIO.h"

#include <cstdlib>

#include "base/NZStringUtils.h"

bool NZBtSppBaseIO::OpenAddressUuid(const char*, const char*) {
    ClearFlags();
    return IsOpened();
}

bool NZBtSppBaseIO::OpenAddressUuidA(const char* address, const char* uuid) {
    return OpenAddressUuid(address, uuid);
}

bool NZBtSppBaseIO::OpenAddressUuidW(const wchar_t* address, const wchar_t* uuid) {
    char* narrow_address = NZStringUtils::nzutils_wcstombs_local(address);
    char* narrow_uuid = NZStringUtils::nzutils_wcstombs_local(uuid);
    bool opened = OpenAddressUuid(narrow_address, narrow_uuid);
    std::free(narrow_address);
    std::free(narrow_uuid);
    return opened;
}

bool NZBtSppBaseIO::Open(const char* address) { return OpenAddressUuid(address, kSerialPortUuid); }

bool NZBtSppBaseIO::OpenWithListen(NZBtSppServerSocket* server, unsigned int timeout_ms,
                                   char* address_out) {
    ClearFlags();
    char scratch[kAddressSize] = {};
    if (address_out == nullptr) address_out = scratch;  // the server always has somewhere to write
    if (server != nullptr && server->IsReady()) {
        server->Accept(timeout_ms, this, address_out);
        server->Release();
    }
    return IsOpened();
}

bool NZBtSppBaseIO::OpenWithListenA(NZBtSppServerSocket* server, unsigned int timeout_ms,
                                    char* address_out) {
    return OpenWithListen(server, timeout_ms, address_out);
}

bool NZBtSppBaseIO::OpenWithListenW(NZBtSppServerSocket* server, unsigned int timeout_ms,
                                    wchar_t* address_out) {
    char narrow[kAddressSize] = {};
    const bool opened = OpenWithListen(server, timeout_ms, narrow);
    if (address_out != nullptr) {
        for (size_t i = 0; i < kAddressSize; ++i)
            address_out[i] = static_cast<wchar_t>(static_cast<unsigned char>(narrow[i]));
    }
    return opened;
}
