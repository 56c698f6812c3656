#include "ports/NZUdpClientIO.h"

#include <cstdlib>

#include "ports/NZStringUtils.h"

bool NZUdpClientIO::Open(const char*, unsigned short, const char*, unsigned short) {
    ClearFlags();
    return IsOpened();
}

bool NZUdpClientIO::OpenA(const char* local_ip, unsigned short local_port, const char* dest_ip,
                          unsigned short dest_port) {
    return Open(local_ip, local_port, dest_ip, dest_port);
}

bool NZUdpClientIO::OpenW(const wchar_t* local_ip, unsigned short local_port,
                          const wchar_t* dest_ip, unsigned short dest_port) {
    char* narrow_local = NZStringUtils::nzutils_wcstombs_local(local_ip);
    char* narrow_dest = NZStringUtils::nzutils_wcstombs_local(dest_ip);
    bool opened = Open(narrow_local, local_port, narrow_dest, dest_port);
    std::free(narrow_local);
    std::free(narrow_dest);
    return opened;
}

bool NZUdpClientIO::Open(const char* dest_ip) { return Open(nullptr, 0, dest_ip, 5100); }

bool NZUdpClientIO::OpenNonThread(const char*, unsigned short, const char*, unsigned short) {
    ClearFlags();
    return IsOpened();
}

bool NZUdpClientIO::OpenNonThreadA(const char* local_ip, unsigned short local_port,
                                   const char* dest_ip, unsigned short dest_port) {
    return OpenNonThread(local_ip, local_port, dest_ip, dest_port);
}

bool NZUdpClientIO::OpenNonThreadW(const wchar_t* local_ip, unsigned short local_port,
                                   const wchar_t* dest_ip, unsigned short dest_port) {
    char* narrow_local = NZStringUtils::nzutils_wcstombs_local(local_ip);
    char* narrow_dest = NZStringUtils::nzutils_wcstombs_local(dest_ip);
    bool opened = OpenNonThread(narrow_local, local_port, narrow_dest, dest_port);
    std::free(narrow_local);
    std::free(narrow_dest);
    return opened;
}

int NZUdpClientIO::socket_sendto(const unsigned char*, size_t, uint32_t, unsigned short) {
    return -1;
}

int NZUdpClientIO::socket_recvfrom(unsigned char*, size_t, uint32_t*, unsigned short*) {
    return -1;
}

bool NZUdpClientIO::setsockopt_broadcast(bool) { return false; }
