/*
 * quorvantelmise: printer access for receipt and label printers.
 *
 * One flat C interface. Every function checks its arguments: a null pointer, a negative
 * count, an unknown handle or a malformed buffer gives the function's failure value.
 *
 * Memory: buffers returned by the library are allocated with malloc and freed by the
 * caller with free (QR images: Quorvantelmise_qrhelper_free), unless a function says
 * otherwise.
 *
 * Threads: calls may come from any thread; several threads may use one handle at once.
 * Event callbacks run on library threads with their list's lock held: a callback must not
 * add or remove callbacks of its own kind, and a received or printer callback must not
 * close its own port.
 */
#ifndef QUORVANTELMISE_H
#define QUORVANTELMISE_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(QV_BUILDING_LIBRARY)
#define CP_API __attribute__((visibility("default")))
#else
#define CP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Library ------------------------------------------------------------------------- */

/* The library's version text, "1.0.7.20210909". Never null; not to be freed. */
CP_API const char *CP_Library_Version(void);

/* ==== Ports and transports ============================================================= */

/* ---- Port handles, port calls and events --------------------------------------------- */

/* ---- Network ports, discovery and provisioning --------------------------------------- */

/* A network printer found by CP_Port_EnumNetPrinter: the local address its reply arrived on,
 * its MAC address ("AA-BB-CC-DD-EE-FF"), its IPv4 address and its name (the address when it
 * reports none). The texts are valid during the call only. Called on discovery threads, several
 * at once when several local addresses receive replies. */
typedef void (*CP_OnNetPrinterDiscovered)(const char *local_ip, const char *discovered_mac,
                                          const char *discovered_ip, const char *discovered_name,
                                          const void *private_data);

/* Broadcasts discovery queries from every local IPv4 address and reports each recognised reply
 * until timeout_ms (counted in whole seconds, rounded up) has passed or *cancel becomes
 * non-zero. Blocks the caller; cancel may be null. A printer is reported every time it answers. */
CP_API void CP_Port_EnumNetPrinter(unsigned int timeout_ms, int *cancel,
                                   CP_OnNetPrinterDiscovered on_discovered,
                                   const void *private_data);

/* Gives a printer the Wi-Fi network name and password by AirKiss. Blocks until the printer
 * answers (1), or timeout_ms (whole seconds, rounded up) passes or the run is cancelled (0).
 * One run at a time: a second caller waits for the first. */
CP_API int CP_Airkiss_ConfigWireless(const char *ssid, const char *password,
                                     unsigned int timeout_ms);
/* Ends the running AirKiss run soon; a cancel given while none runs is forgotten. */
CP_API void CP_Airkiss_CancelConfig(void);

/* Network configuration of the printer interface with the MAC address mac ("AA-BB-CC-DD-EE-FF")
 * by UDP, from local_ip:local_port to dest_ip:dest_port. Each call resends its request every
 * resend_ms until the interface answers (true) or timeout_ms passes (false). A MAC or address
 * text that does not convert gives false and sends nothing. mode 0 selects a static address. */
CP_API bool CP_UDPBroadcast_ConfigIP(const char *local_ip, uint16_t local_port,
                                     const char *dest_ip, uint16_t dest_port, const char *mac,
                                     int mode, const char *ip, const char *mask,
                                     const char *gateway, uint32_t resend_ms,
                                     uint32_t timeout_ms);
/* Sets the interface's name (at most 127 bytes are sent). */
CP_API bool CP_UDPBroadcast_ConfigName(const char *local_ip, uint16_t local_port,
                                       const char *dest_ip, uint16_t dest_port, const char *mac,
                                       const char *name, uint32_t resend_ms, uint32_t timeout_ms);
/* Makes the interface take the new settings. */
CP_API bool CP_UDPBroadcast_ConfirmConfiguration(const char *local_ip, uint16_t local_port,
                                                 const char *dest_ip, uint16_t dest_port,
                                                 const char *mac, uint32_t resend_ms,
                                                 uint32_t timeout_ms);


/* ---- Unavailable transports, device enumeration and logger --------------------------- */

/* ==== Printer commands and device protocol ============================================ */

/* ---- Command objects and receipt text and format commands ---------------------------- */

/* ---- Printer replies, status queries and the framed maintenance protocol ------------- */

/* ---- Receipt graphics, page mode, layout helpers and labels -------------------------- */

/* ---- Black-mark paper, hardware settings and data scrambling ------------------------- */

/* ==== Imaging, text encoding, barcodes and QR codes =================================== */

/* ---- Pixel formats, gray conversion, binarisation, scaling and image loading --------- */

/* ---- Raster commands, JBIG and base64 ------------------------------------------------- */

/* ---- Wide-text encoding conversion ---------------------------------------------------- */

/* ---- One-dimensional barcodes and symbol renderers ------------------------------------ */

/* ---- QR codes ------------------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* QUORVANTELMISE_H */
