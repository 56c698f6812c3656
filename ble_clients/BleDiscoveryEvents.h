#pragma once

// Discovery callbacks of the stand-alone clients; they run on the client's queue, and the
// strings live only for the call. name is null when the peripheral has none; address is
// null (full callback only) when the advertisement carried none. peripheral is the value
// the wrappers' Open accepts.
typedef void (*peripheral_discovered_event)(const void* peripheral, const char* name, const char* address,
                                            int rssi, const void* private_data);
typedef void (*simple_discovered_event)(const char* name, const char* address, const void* private_data);
