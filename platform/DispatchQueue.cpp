#include "platform/DispatchQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {
thread_local const DispatchQueue* t_current = nullptr;
}

struct DispatchQueue::State {
    const DispatchQueue* owner = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> tasks;
    int running = 0;
    bool stopping = false;
    std::vector<std::thread> threads;
};

DispatchQueue::DispatchQueue(std::string label, Kind kind)
    : label_(std::move(label)), kind_(kind), state_(std::make_shared<State>()) {
    state_->owner = this;
    const int width = kind == Kind::Serial ? 1 : kConcurrentWidth;
    for (int i = 0; i < width; ++i) state_->threads.emplace_back(Work, state_);
}

DispatchQueue::~DispatchQueue() {
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopping = true;
        threads.swap(state_->threads);
    }
    state_->wake.notify_all();
    for (auto& thread : threads) {
        if (thread.get_id() == std::this_thread::get_id()) {
            thread.detach();  // the worker holds the state and ends after this task
        } else {
            thread.join();
        }
    }
}

void DispatchQueue::Work(std::shared_ptr<State> state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
        if (state->tasks.empty()) return;  // stopping and drained
        auto task = std::move(state->tasks.front());
        state->tasks.pop_front();
        ++state->running;
        const DispatchQueue* owner = state->stopping ? nullptr : state->owner;
        lock.unlock();
        t_current = owner;
        task();
        task = nullptr;  // destroy captures before counting the task done
        t_current = nullptr;
        lock.lock();
        --state->running;
        if (state->running == 0 && state->tasks.empty()) state->idle.notify_all();
    }
}

void DispatchQueue::async(std::function<void()> task) {
    if (!task) return;
    // Notify under the lock: once it is released the task may run and destroy this queue.
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->tasks.push_back(std::move(task));
    state_->wake.notify_one();
}

void DispatchQueue::waitIdle() {
    if (t_current == this) return;
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->idle.wait(lock, [&] { return state_->running == 0 && state_->tasks.empty(); });
}

const DispatchQueue* DispatchQueue::Current() { return t_current; }

struct DispatchStrand::State {
    std::mutex mutex;
    std::deque<std::function<void()>> tasks;
    bool draining = false;
};

DispatchStrand::DispatchStrand(std::shared_ptr<DispatchQueue> queue)
    : queue_(std::move(queue)), state_(std::make_shared<State>()) {}

void DispatchStrand::async(std::function<void()> task) {
    if (!task || !queue_) return;
    // Copies, so that nothing of this strand is touched once the lock is released.
    auto queue = queue_;
    auto state = state_;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->tasks.push_back(std::move(task));
        if (state->draining) return;
        state->draining = true;
    }
    queue->async([state] { Drain(state); });
}

void DispatchStrand::Drain(std::shared_ptr<State> state) {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            if (state->tasks.empty()) {
                state->draining = false;
                return;
            }
            task = std::move(state->tasks.front());
            state->tasks.pop_front();
        }
        task();
    }
}
