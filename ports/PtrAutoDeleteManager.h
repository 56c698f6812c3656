#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

// Registry of live objects with reference counts, reached through opaque handle values.
// A registration gets a value that no live object holds and that, on 64-bit targets, was
// never given out before in the life of the process, so a value whose object is gone, or
// that was withdrawn, is refused without anything being touched, even when a later object
// lands at the same address or in the same slot.
// Only served objects take slots: a withdrawn object leaves its slot at once, for the next
// registration, and lives on outside the slots until its last reference is released.
// When a count reaches 0 the object is unlisted under the lock and destroyed after the lock
// is released, so a destructor that waits for threads never blocks the other registered
// objects (nor a thread that is about to AddRef one of them).
template <typename T>
class PtrAutoDeleteManager {
public:
    explicit PtrAutoDeleteManager(size_t capacity)
        : slots_(new (std::nothrow) Slot[capacity]()), capacity_(capacity) {
        // Room for every slot's object at once, so a withdrawal does not allocate.
        withdrawn_.reserve(capacity);
    }
    PtrAutoDeleteManager(const PtrAutoDeleteManager&) = delete;
    PtrAutoDeleteManager& operator=(const PtrAutoDeleteManager&) = delete;

    size_t Capacity() const { return capacity_; }

    // Stores the object in the lowest free slot with count 1 and returns its new handle
    // value. Null for a null object, one already registered, or when every slot is taken.
    void* InitPtr(T* object) {
        if (object == nullptr || !usable()) return nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        if (findObject(object) != nullptr) return nullptr;
        for (size_t i = 0; i < capacity_; ++i) {
            Slot& slot = slots_[i];
            if (slot.object != nullptr) continue;
            slot = Slot{object, 1, newValue()};
            return reinterpret_cast<void*>(slot.value);
        }
        return nullptr;
    }

    // One more reference to the object behind a handle that is served; null when the
    // handle is unknown or withdrawn.
    T* AddRef(void* handle) { return addRef(handle, false); }

    // The same for a withdrawn handle whose object still lives: for the owner's own hooks,
    // which deliver the last events of an object that is being closed.
    T* AddRefWithdrawn(void* handle) { return addRef(handle, true); }

    // True only when this release destroyed the object.
    bool Release(void* handle) {
        if (!usable()) return false;
        T* doomed = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Slot* slot = find(handle);
            if (slot == nullptr) return false;
            if (slot->count != 0) --slot->count;
            if (slot->count != 0) return false;
            doomed = slot->object;
            unlist(slot);
        }
        delete doomed;
        return true;
    }

    // Drops one reference unless it is the last; false (nothing done) when it is. Lets a
    // thread that the object's destructor would wait for hand the last release elsewhere.
    bool ReleaseUnlessLast(void* handle) {
        if (!usable()) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        Slot* slot = find(handle);
        if (slot == nullptr || slot->count <= 1) return false;
        --slot->count;
        return true;
    }

    // Stops serving the handle and frees its slot: AddRef refuses it from now on, while the
    // references already held stay valid until released. True for the first withdrawal of
    // a registered handle.
    bool Withdraw(void* handle) {
        if (!usable()) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        Slot* slot = findServed(handle);
        if (slot == nullptr) return false;
        withdrawn_.push_back(*slot);
        *slot = Slot{};
        return true;
    }

    // Whether the handle's object is still in the table, served or withdrawn.
    bool IsRegistered(void* handle) {
        if (!usable()) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        return find(handle) != nullptr;
    }

    bool IsServed(void* handle) {
        if (!usable()) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        return findServed(handle) != nullptr;
    }

    // The reference count of a registered handle, else 0.
    uint64_t RefCount(void* handle) {
        if (!usable()) return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        const Slot* slot = find(handle);
        return slot == nullptr ? 0 : slot->count;
    }

    // The object behind a registered handle without taking a reference, else null: only
    // for a caller that keeps the handle registered by other means (tests).
    T* Peek(void* handle) {
        if (!usable()) return nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        const Slot* slot = find(handle);
        return slot == nullptr ? nullptr : slot->object;
    }

    // Objects alive in the table, served or withdrawn.
    size_t RegisteredCount() {
        if (!usable()) return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        return servedCount() + withdrawn_.size();
    }

    // Slots taken: served objects.
    size_t ServedCount() {
        if (!usable()) return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        return servedCount();
    }

    // Test-only: the value the next registration counts on from, to reach a wrap of the
    // counter or a value still in use.
    void SetLastValueForTesting(uintptr_t value) {
        std::lock_guard<std::mutex> lock(mutex_);
        next_value_ = value | 1;
    }

private:
    struct Slot {
        T* object = nullptr;
        uint64_t count = 0;
        uintptr_t value = 0;
    };

    bool usable() const { return slots_ != nullptr; }

    T* addRef(void* handle, bool withdrawn_too) {
        if (!usable()) return nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        Slot* slot = withdrawn_too ? find(handle) : findServed(handle);
        if (slot == nullptr) return nullptr;
        ++slot->count;
        return slot->object;
    }

    // Odd values only: no aligned address, and so no stray pointer, ever equals one. Values
    // only grow; a counter as wide as a 32-bit pointer can wrap, so a value that a live
    // object still holds is passed over.
    uintptr_t newValue() {
        do {
            next_value_ += 2;
        } while (findValue(next_value_) != nullptr);
        return next_value_;
    }

    Slot* findServed(void* handle) const {
        const auto value = reinterpret_cast<uintptr_t>(handle);
        if (value == 0) return nullptr;
        for (size_t i = 0; i < capacity_; ++i)
            if (slots_[i].object != nullptr && slots_[i].value == value) return &slots_[i];
        return nullptr;
    }

    Slot* findValue(uintptr_t value) {
        if (Slot* slot = findServed(reinterpret_cast<void*>(value))) return slot;
        for (Slot& slot : withdrawn_)
            if (slot.value == value) return &slot;
        return nullptr;
    }

    Slot* find(void* handle) {
        if (handle == nullptr) return nullptr;
        return findValue(reinterpret_cast<uintptr_t>(handle));
    }

    Slot* findObject(const T* object) {
        for (size_t i = 0; i < capacity_; ++i)
            if (slots_[i].object == object) return &slots_[i];
        for (Slot& slot : withdrawn_)
            if (slot.object == object) return &slot;
        return nullptr;
    }

    // Forgets a slot whose count reached 0, served or withdrawn.
    void unlist(Slot* slot) {
        const std::less<const Slot*> before;
        if (!before(slot, slots_.get()) && before(slot, slots_.get() + capacity_)) {
            *slot = Slot{};
            return;
        }
        withdrawn_.erase(withdrawn_.begin() + (slot - withdrawn_.data()));
    }

    size_t servedCount() const {
        size_t count = 0;
        for (size_t i = 0; i < capacity_; ++i) count += slots_[i].object != nullptr ? 1 : 0;
        return count;
    }

    std::unique_ptr<Slot[]> slots_;
    size_t capacity_;
    // Withdrawn objects that are still referenced; they hold no slot.
    std::vector<Slot> withdrawn_;
    // The last value given out.
    uintptr_t next_value_ = 0x10001;
    std::mutex mutex_;
};
