#include "ports/NZSocketIO.h"

#include <cstdlib>

#include "ports/NZStringUtils.h"

bool NZSocketIO::bind_addr(const char*, unsigned short) { return false; }
bool NZSocketIO::bind_addr_a(const char* ip, unsigned short port) { return bind_addr(ip, port); }

bool NZSocketIO::bind_addr_w(const wchar_t* ip, unsigned short port) {
    char* narrow = NZStringUtils::nzutils_wcstombs_local(ip);
    if (narrow == nullptr) return false;
    bool bound = bind_addr(narrow, port);
    std::free(narrow);
    return bound;
}

bool NZSocketIO::setsockopt_linger(bool, unsigned int) { return false; }
bool NZSocketIO::setsockopt_reuseaddr(bool) { return false; }
bool NZSocketIO::setsockopt_sndbuf(size_t) { return false; }
bool NZSocketIO::setsockopt_rcvbuf(size_t) { return false; }
bool NZSocketIO::setsockopt_rcvtimeo(unsigned int) { return false; }
bool NZSocketIO::setsockopt_sndtimeo(unsigned int) { return false; }
