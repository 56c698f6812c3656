#pragma once

// The hooks every open installs on its active transport, with the handle value as context.

// Received data (printer/PortReadedEvent.cpp): status frames update the handle's records
// and fire the printer callbacks, framed packets go to the handle's packet list, the other
// bytes to its receive ring; then the port-received callbacks get the whole chunk.
void Port_ReadedEvent(const unsigned char* data, unsigned int count, void* context);

// The link went quiet (printer/PortReadedEvent.cpp): a partial status frame held back is
// no frame after all, so its bytes go to the receive ring as plain data.
void Port_ReadQuietEvent(void* context);

// Written data: the port-written callbacks get the caller's bytes.
void Port_WritedEvent(const unsigned char* data, unsigned int count, void* context);

// The port's close begins (the application's or one after a transport failure): the handle
// is withdrawn, so no call is served on it any more; the port's own threads finish with it.
void Port_ClosingEvent(void* context);
