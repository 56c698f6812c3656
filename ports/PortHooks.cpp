#include "ports/PortHooks.h"

#include "ports/IOHandle.h"
#include "ports/PortEventLists.h"

void Port_WritedEvent(const unsigned char* data, unsigned int count, void* context) {
    IOHandleRef ref(context);
    if (!ref) return;
    CallPortWrittenEventForStructList(ref.get(), data, count);
}
