#include "ports/NZTcpClientIO.h"

#include <cstdlib>

#include "ports/NZStringUtils.h"

bool NZTcpClientIO::Open(const char*, const char*, unsigned short, unsigned int) {
    ClearFlags();
    return IsOpened();
}

bool NZTcpClientIO::OpenA(const char* local_ip, const char* dest_ip, unsigned short dest_port,
                          unsigned int timeout) {
    return Open(local_ip, dest_ip, dest_port, timeout);
}

bool NZTcpClientIO::OpenW(const wchar_t* local_ip, const wchar_t* dest_ip,
                          unsigned short dest_port, unsigned int timeout) {
    char* narrow_local = NZStringUtils::nzutils_wcstombs_local(local_ip);
    char* narrow_dest = NZStringUtils::nzutils_wcstombs_local(dest_ip);
    bool opened = Open(narrow_local, narrow_dest, dest_port, timeout);
    std::free(narrow_local);
    std::free(narrow_dest);
    return opened;
}

bool NZTcpClientIO::Open(const char* dest_ip) { return Open(nullptr, dest_ip, 9100, 5000); }
int NZTcpClientIO::socket_send(const unsigned char*, unsigned long) { return -1; }
int NZTcpClientIO::socket_recv(unsigned char*, unsigned long) { return -1; }
bool NZTcpClientIO::setsockopt_keepalive(bool) { return false; }
bool NZTcpClientIO::setsockopt_keepalivevals(bool, unsigned int, unsigned int, unsigned int) {
    return false;
}
