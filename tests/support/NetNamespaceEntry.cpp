#include "support/NetNamespaceEntry.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace qvtest {
namespace {

bool LoopbackUp(std::string &why) {
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        why = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
    if (ok) {
        ifr.ifr_flags |= IFF_UP;
        ok = ::ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
    }
    if (!ok) why = std::string("cannot bring lo up: ") + std::strerror(errno);
    ::close(s);
    return ok;
}

// `ip route add broadcast 255.255.255.255 dev lo`, so broadcasts reach the namespace's sockets.
bool RouteBroadcastToLoopback(std::string &why) {
    const char *argv[] = {"ip", "route", "add", "broadcast", "255.255.255.255", "dev", "lo",
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int rc = ::posix_spawnp(&pid, "ip", &actions, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        why = std::string("cannot run ip: ") + std::strerror(rc);
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        why = "ip route add broadcast 255.255.255.255 dev lo failed";
        return false;
    }
    return true;
}

}  // namespace

bool EnterFreshNetNamespace(std::string &why) {
    if (::unshare(CLONE_NEWNET) != 0) {
        why = std::string("no network namespace: unshare(CLONE_NEWNET): ") + std::strerror(errno);
        return false;
    }
    std::string detail;
    if (!LoopbackUp(detail) || !RouteBroadcastToLoopback(detail)) {
        why = "network namespace unusable: " + detail;
        return false;
    }
    return true;
}

}  // namespace qvtest
