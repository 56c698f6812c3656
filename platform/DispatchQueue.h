#pragma once

#include <functional>
#include <memory>
#include <string>

// A labelled queue of tasks run on threads of its own, in place of the platform's dispatch
// queues. A serial queue runs one task at a time in order; a concurrent queue runs up to
// kConcurrentWidth at once, started in order.
class DispatchQueue {
public:
    enum class Kind { Serial, Concurrent };
    static constexpr int kConcurrentWidth = 4;

    DispatchQueue(std::string label, Kind kind);
    // Runs every task already queued (and those they queue), then joins the threads. When the
    // last owner lets go on one of the queue's own threads, that thread finishes on its own.
    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    const std::string& label() const { return label_; }
    Kind kind() const { return kind_; }

    void async(std::function<void()> task);
    // Blocks until no task is queued or running. Returns at once on one of the queue's own
    // threads, which would otherwise wait for itself.
    void waitIdle();

    // The queue whose task runs on this thread, or null.
    static const DispatchQueue* Current();

private:
    struct State;
    static void Work(std::shared_ptr<State> state);

    std::string label_;
    Kind kind_;
    std::shared_ptr<State> state_;
};

// Runs its tasks one at a time, in the order given, on the threads of a (possibly concurrent)
// queue. Events of one source go through one strand so they arrive in order.
class DispatchStrand {
public:
    explicit DispatchStrand(std::shared_ptr<DispatchQueue> queue);
    DispatchStrand(const DispatchStrand&) = delete;
    DispatchStrand& operator=(const DispatchStrand&) = delete;

    void async(std::function<void()> task);
    const std::shared_ptr<DispatchQueue>& queue() const { return queue_; }

private:
    struct State;
    static void Drain(std::shared_ptr<State> state);

    std::shared_ptr<DispatchQueue> queue_;
    std::shared_ptr<State> state_;
};
