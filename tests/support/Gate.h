#pragma once
// A one-way gate for holding a library thread at a chosen point (a callback, a close):
// the thread calls Hold and waits there until the test calls Open; the test can first wait
// until the thread has arrived.
#include <condition_variable>
#include <mutex>

namespace qvtest {

class Gate {
public:
    void Hold() {
        std::unique_lock<std::mutex> lock(mutex_);
        entered_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_; });
    }
    void WaitEntered() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return entered_; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool open_ = false;
};

}  // namespace qvtest
