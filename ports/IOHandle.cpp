#include "ports/IOHandle.h"

#include "ports/PortTiming.h"

IOHandle::IOHandle() {
    const PortTiming timing = GetPortTiming();
    statusFreshnessMs = timing.statusFreshnessMs;
    statusFreshnessTcpMs = timing.statusFreshnessTcpMs;
}

IOHandle::~IOHandle() = default;

PtrAutoDeleteManager<IOHandle>& ptrs() {
    // Never destroyed: detached threads may still release handles while the process exits.
    static auto* table = new PtrAutoDeleteManager<IOHandle>(kHandleTableCapacity);
    return *table;
}

IOHandleRef::IOHandleRef(void* handle) {
    auto* candidate = static_cast<IOHandle*>(handle);
    if (candidate != nullptr && ptrs().AddRef(candidate)) handle_ = candidate;
}

IOHandleRef::~IOHandleRef() {
    if (handle_ != nullptr) ptrs().Release(handle_);
}
