#include "support/NetNamespace.h"
#include "support/NetNamespaceEntry.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qvtest {
namespace {

constexpr int kSkipCode = 77;

void Report(int fd, const std::string &text) {
    [[maybe_unused]] ssize_t n = ::write(fd, text.data(), text.size());
}

[[noreturn]] void Child(const std::function<void()> &body, int report_fd) {
    std::string why;
    if (!EnterFreshNetNamespace(why)) {
        Report(report_fd, why);
        ::_exit(kSkipCode);
    }
    int code = 0;
    try {
        body();
        if (::testing::Test::HasFailure()) {
            Report(report_fd, "the body failed inside the namespace (see its output above)");
            code = 1;
        }
    } catch (const std::exception &e) {
        Report(report_fd, std::string("the body threw: ") + e.what());
        code = 2;
    } catch (...) {
        Report(report_fd, "the body threw");
        code = 2;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(code);  // no exit handlers: they belong to the parent's test run
}

}  // namespace

NetNamespaceResult RunInNetNamespace(const std::function<void()> &body, int timeout_ms) {
    NetNamespaceResult result;
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        result.message = "pipe failed";
        return result;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        result.outcome = NetNamespaceResult::Outcome::Skipped;
        result.message = std::string("fork failed: ") + std::strerror(errno);
        return result;
    }
    if (pid == 0) {
        ::close(pipe_fds[0]);
        Child(body, pipe_fds[1]);
    }
    ::close(pipe_fds[1]);

    // The child's end closes when it exits, which ends the read with EOF.
    std::string message;
    bool timed_out = false;
    for (;;) {
        pollfd p{pipe_fds[0], POLLIN, 0};
        int r = ::poll(&p, 1, timeout_ms);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            timed_out = true;
            break;
        }
        char buf[512];
        ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        message.append(buf, static_cast<size_t>(n));
    }
    ::close(pipe_fds[0]);
    if (timed_out) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timed_out) {
        result.message = "the body did not finish within " + std::to_string(timeout_ms) + " ms";
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kSkipCode) {
        result.outcome = NetNamespaceResult::Outcome::Skipped;
        result.message = message;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        result.outcome = NetNamespaceResult::Outcome::Passed;
    } else {
        result.message = message.empty() ? "the namespace child died" : message;
        if (WIFSIGNALED(status)) result.message += " (signal " + std::to_string(WTERMSIG(status)) + ")";
    }
    return result;
}

}  // namespace qvtest
