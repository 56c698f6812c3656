#include "ports/NZHostIPEnumerator.h"

#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>

unsigned int NZHostIPEnumerator_ios::Enumerate(char *buffer, unsigned int size,
                                               unsigned int *required) {
    unsigned int total = 0, count = 0, left = buffer ? size : 0;
    char *at = buffer;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (ifaddrs *i = list; i; i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
            if (i->ifa_name && std::strncmp(i->ifa_name, "lo", 2) == 0) continue;
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(i->ifa_addr)->sin_addr, text,
                      sizeof text);
            const unsigned int n = static_cast<unsigned int>(std::strlen(text)) + 1;
            total += n + 1;
            if (left > n) {
                std::memcpy(at, text, n);
                at[n] = '\0';
                at += n;
                left -= n;
                ++count;
            }
        }
        freeifaddrs(list);
    }
    if (required) *required = total;
    return count;
}

std::vector<std::string> NZHostIPEnumerator_ios::SplitList(const char *list, unsigned int count) {
    std::vector<std::string> out;
    for (unsigned int i = 0; list && i < count && *list; ++i) {
        out.emplace_back(list);
        list += out.back().size() + 1;
    }
    return out;
}
