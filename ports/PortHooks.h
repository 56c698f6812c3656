#pragma once

// The hooks every open installs on its active transport, with the handle as context.

// Received data: for now every byte goes to the handle's receive ring (bytes that do not fit
// are dropped), then the port-received callbacks get the chunk.
void Port_ReadedEvent(const unsigned char* data, unsigned int count, void* context);

// Written data: the port-written callbacks get the caller's bytes.
void Port_WritedEvent(const unsigned char* data, unsigned int count, void* context);
