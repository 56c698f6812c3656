#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>

// Registry of live objects with reference counts. A pointer is usable only while registered;
// lookups compare addresses only, so a stale pointer is refused without being touched.
// When a count reaches 0 the slot is cleared under the lock and the object is destroyed
// after the lock is released, so a destructor that waits for threads never blocks the
// other registered objects (nor a thread that is about to AddRef one of them).
template <typename T>
class PtrAutoDeleteManager {
public:
    explicit PtrAutoDeleteManager(size_t capacity)
        : pointers_(new (std::nothrow) T*[capacity]()),
          counts_(new (std::nothrow) uint64_t[capacity]()),
          capacity_(capacity) {}
    PtrAutoDeleteManager(const PtrAutoDeleteManager&) = delete;
    PtrAutoDeleteManager& operator=(const PtrAutoDeleteManager&) = delete;

    size_t Capacity() const { return capacity_; }

    // Stores the pointer in the lowest free slot with count 1. False for null, when the
    // pointer is already registered, or when every slot is taken.
    bool InitPtr(T* pointer) {
        if (pointer == nullptr || !usable()) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        if (find(pointer) != capacity_) return false;
        for (size_t i = 0; i < capacity_; ++i) {
            if (pointers_[i] == nullptr) {
                pointers_[i] = pointer;
                counts_[i] = 1;
                return true;
            }
        }
        return false;
    }

    bool AddRef(T* pointer) {
        if (pointer == nullptr || !usable()) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        size_t slot = find(pointer);
        if (slot == capacity_) return false;
        ++counts_[slot];
        return true;
    }

    // True only when this release destroyed the object.
    bool Release(T* pointer) {
        if (pointer == nullptr || !usable()) return false;
        T* doomed = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            size_t slot = find(pointer);
            if (slot == capacity_) return false;
            if (counts_[slot] != 0) --counts_[slot];
            if (counts_[slot] != 0) return false;
            doomed = pointers_[slot];
            pointers_[slot] = nullptr;
        }
        delete doomed;
        return true;
    }

    // Drops one reference unless it is the last; false (nothing done) when it is. Lets a
    // thread that the object's destructor would wait for hand the last release elsewhere.
    bool ReleaseUnlessLast(T* pointer) {
        if (pointer == nullptr || !usable()) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        size_t slot = find(pointer);
        if (slot == capacity_ || counts_[slot] <= 1) return false;
        --counts_[slot];
        return true;
    }

    bool IsRegistered(T* pointer) {
        if (pointer == nullptr || !usable()) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        return find(pointer) != capacity_;
    }

    // The reference count of a registered pointer, else 0.
    uint64_t RefCount(T* pointer) {
        if (pointer == nullptr || !usable()) return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        size_t slot = find(pointer);
        return slot == capacity_ ? 0 : counts_[slot];
    }

    size_t RegisteredCount() {
        if (!usable()) return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        size_t count = 0;
        for (size_t i = 0; i < capacity_; ++i) count += pointers_[i] != nullptr ? 1 : 0;
        return count;
    }

private:
    bool usable() const { return pointers_ != nullptr && counts_ != nullptr; }

    size_t find(T* pointer) const {
        for (size_t i = 0; i < capacity_; ++i)
            if (pointers_[i] == pointer) return i;
        return capacity_;
    }

    std::unique_ptr<T*[]> pointers_;
    std::unique_ptr<uint64_t[]> counts_;
    size_t capacity_;
    std::mutex mutex_;
};
