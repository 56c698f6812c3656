#include "ports/NZHostIPEnumerator.h"

#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>

unsigned int NZHostIPEnumerator_ios::Enumerate(char *buffer, unsigned int size,
                                               unsigned int *required) {
    DeviceListWriter<char> list(buffer, size);
    ifaddrs *interfaces = nullptr;
    if (getifaddrs(&interfaces) == 0) {
        for (ifaddrs *i = interfaces; i; i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
            if (i->ifa_name && std::strncmp(i->ifa_name, "lo", 2) == 0) continue;
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(i->ifa_addr)->sin_addr, text,
                      sizeof text);
            list.Add(text, std::strlen(text));
        }
        freeifaddrs(interfaces);
    }
    list.StoreRequired(required);
    return list.Count();
}
