#pragma once

#include <cstdint>
#include <memory>

#include "ports/IOHandle.h"

// The open machinery shared by every open call (and by the framed-protocol opens).

// Finishes an open whose transport (a member of handle, or handle->injectedTransport) is
// opened: sets it active, stores the port type and Velnor mode, registers the handle, wires
// hooks and command objects, installs the closing and closed hooks and reports opened. On
// failure (also when the transport began closing before its closed hook was in) it closes
// and frees what it built and reports open-failed. The kind-specific port
// description is stored by the caller before. report_events false: no closed hook and no
// open event (memory ports). Returns the handle or null.
void* FinishOpen(std::unique_ptr<IOHandle> handle, RAZI* transport, uint32_t port_type,
                 uint32_t velnor_mode, const char* event_name, bool report_events = true);

// A transport that did not open: frees nothing more, reports open-failed, returns null.
void* FailOpen(const char* event_name, bool report_events = true);

// Wires the received, quiet and written hooks and the command objects to the active
// transport of a registered handle. The open installs the closing and closed hooks after.
bool Port_Initialize(void* handle);

// Test-only: called on the opening thread after each step of an open that registered its
// handle, with the handle and its transport, so a test can close it at that very point.
// At Reported, a close may have freed the handle and its member transports: only a
// transport the test owns itself may be touched then.
enum class OpenStep { Registered, Initialized, HooksInstalled, Reported };
using OpenStepProbe = void (*)(OpenStep step, void* handle, RAZI* transport);
void SetOpenStepProbeForTesting(OpenStepProbe probe);

// Withdraws the handle (no call is served on it any more), closes its transport and drops
// the open's reference, once per handle. The caller holds a reference of its own. False
// when an earlier close already dropped it.
bool ClosePortHandle(IOHandle& handle);

// Tests and tools: an open handle whose active transport is the given (already opened)
// transport, through the same open steps and events as a real open. The handle shares
// ownership of the transport. Null (and open-failed) when it is not opened.
void* OpenHandleOnTransport(std::shared_ptr<RAZI> transport, uint32_t port_type,
                            const char* name, uint32_t velnor_mode = 0,
                            bool report_events = true);

// Copies a name into a 300-byte description field, cut to 299 bytes.
void StorePortName(char (&field)[kPortNameSize], const char* name);
