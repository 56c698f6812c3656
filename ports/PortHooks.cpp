#include "ports/PortHooks.h"

#include "ports/IOHandle.h"
#include "ports/PortEventLists.h"

void Port_WritedEvent(const unsigned char* data, unsigned int count, void* context) {
    // A write that was under way when the close began still reports what it wrote.
    IOHandleRef ref(context, IOHandleRef::Closing::Included);
    if (!ref) return;
    CallPortWrittenEventForStructList(context, data, count);
}

void Port_ClosingEvent(void* context) { ptrs().Withdraw(context); }
