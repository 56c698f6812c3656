#include "ports/PortHooks.h"

#include <mutex>

#include "ports/IOHandle.h"
#include "ports/PortEventLists.h"

void Port_ReadedEvent(const unsigned char* data, unsigned int count, void* context) {
    if (data == nullptr || count == 0) return;
    IOHandleRef ref(context);
    if (!ref) return;
    {
        std::lock_guard<std::mutex> lock(ref->receiveMutex);
        for (unsigned int i = 0; i < count; ++i)
            if (!ref->receiveRing.TryPushBack(data[i])) break;
    }
    CallPortReceivedEventForStructList(ref.get(), data, count);
}

void Port_WritedEvent(const unsigned char* data, unsigned int count, void* context) {
    IOHandleRef ref(context);
    if (!ref) return;
    CallPortWrittenEventForStructList(ref.get(), data, count);
}
