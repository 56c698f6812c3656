#include "support/Fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <utility>

namespace qvtest {

Fifo::Fifo(std::string path) : path_(std::move(path)) {
    if (mkfifo(path_.c_str(), 0600) != 0) throw std::runtime_error("mkfifo " + path_);
}

Fifo::~Fifo() { unlink(path_.c_str()); }

bool Fifo::ReturnsWithoutAWriter(const std::function<void()>& call) const {
    std::future<void> done = std::async(std::launch::async, call);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
    // Opening to write without blocking succeeds once a reader waits in open; a reader that
    // then blocks in read sees the end of the data when the writer closes.
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        const int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) close(fd);
    }
    return false;
}

}  // namespace qvtest
