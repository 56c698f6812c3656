#include "ports/NZBtSppBaseIO.h"

#include <cstdlib>

#include "ports/NZStringUtils.h"

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

bool NZBtSppBaseIO::Open(const char* address) {
    return OpenAddressUuid(address, "00001101-0000-1000-8000-00805F9B34FB");
}
