#pragma once

#include <cstdint>

#include "quorvantelmise.h"

class IOHandle;

// The eight process-wide event lists. Each list has its own non-recursive mutex, held while
// its callbacks run: a callback must not add or remove callbacks of its own kind. The lists
// live for the whole process.

bool AddPortOpenedEventToStructList(CP_OnPortOpenedEvent callback, void* private_data);
bool AddPortOpenFailedEventToStructList(CP_OnPortOpenFailedEvent callback, void* private_data);
bool AddPortClosedEventToStructList(CP_OnPortClosedEvent callback, void* private_data);
bool AddPortWrittenEventToStructList(CP_OnPortWrittenEvent callback, void* private_data);
bool AddPortReceivedEventToStructList(CP_OnPortReceivedEvent callback, void* private_data);
bool AddPrinterStatusEventToStructList(CP_OnPrinterStatusEvent callback, void* private_data);
bool AddPrinterReceivedEventToStructList(CP_OnPrinterReceivedEvent callback, void* private_data);
bool AddPrinterPrintedEventToStructList(CP_OnPrinterPrintedEvent callback, void* private_data);

bool RemovePortOpenedEventFromStructList(CP_OnPortOpenedEvent callback);
bool RemovePortOpenFailedEventFromStructList(CP_OnPortOpenFailedEvent callback);
bool RemovePortClosedEventFromStructList(CP_OnPortClosedEvent callback);
bool RemovePortWrittenEventFromStructList(CP_OnPortWrittenEvent callback);
bool RemovePortReceivedEventFromStructList(CP_OnPortReceivedEvent callback);
bool RemovePrinterStatusEventFromStructList(CP_OnPrinterStatusEvent callback);
bool RemovePrinterReceivedEventFromStructList(CP_OnPrinterReceivedEvent callback);
bool RemovePrinterPrintedEventFromStructList(CP_OnPrinterPrintedEvent callback);

// Dispatchers: call every registered callback of the kind, in registration order, on the
// calling thread.
void CallPortOpenedEventForStructList(void* handle, const char* name);
void CallPortOpenFailedEventForStructList(void* handle, const char* name);
void CallPortClosedEventForStructList(void* handle);
void CallPortWrittenEventForStructList(void* handle, const unsigned char* data, unsigned int count);
void CallPortReceivedEventForStructList(void* handle, const unsigned char* data,
                                        unsigned int count);
void CallPrinterStatusEventForStructList(void* handle, int64_t printer_error_status,
                                         int64_t printer_info_status);
void CallPrinterReceivedEventForStructList(void* handle, unsigned int printer_received_byte_count);
void CallPrinterPrintedEventForStructList(void* handle, unsigned int printer_printed_page_id);

// Reports one open's outcome (opened when handle is not null, else open-failed with a null
// handle) on a new thread, and returns once that thread has taken its own copy of the
// name. When no thread can be created the callbacks run on the calling thread. An opened
// port comes with its object and one reference taken for the report: once the opened
// callbacks have returned, the port's closed callbacks may run, and the reference is
// dropped.
void Port_OpenFinishedEventOnChildThread(void* handle, const char* name,
                                         IOHandle* object = nullptr);

// The closed hook of every open port except memory ports (context: the handle). Holds a
// reference to the handle and, on a new thread, fires the closed callbacks (once the opened
// ones have returned) and then closes that same handle, dropping the open's reference if no
// close has yet.
void Port_ClosedEventOnChildThread(void* handle);
