#pragma once
// A named pipe that nothing writes to: opening it to read blocks until a writer comes.
#include <functional>
#include <string>

namespace qvtest {

class Fifo {
public:
    explicit Fifo(std::string path);  // made with mkfifo; removed when destroyed
    ~Fifo();
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;

    const std::string& Path() const { return path_; }

    // Runs call on a thread and tells whether it returned within a few seconds. A call still
    // blocked on the pipe then is let go by a writer, so that it can be joined either way.
    bool ReturnsWithoutAWriter(const std::function<void()>& call) const;

private:
    std::string path_;
};

}  // namespace qvtest
