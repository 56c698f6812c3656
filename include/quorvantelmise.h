/*
 * quorvantelmise: printer access for receipt and label printers.
 *
 * One flat C interface. Every function checks its arguments: a null pointer, a negative
 * count, an unknown handle or a malformed buffer gives the function's failure value.
 *
 * Memory: buffers returned by the library are allocated with malloc and freed by the
 * caller with free. The exceptions: images of Quorvantelmise_qrhelper_encode are freed
 * with Quorvantelmise_qrhelper_free; CP_Library_Version's text and
 * CP_Port_GetMemoryBufferDataPointer's bytes belong to the library and are never freed.
 *
 * Threads: calls may come from any thread; several threads may use one handle at once.
 * Event callbacks run on library threads with their list's lock held: a callback must not
 * add or remove callbacks of its own kind, a written callback must not write, and a received
 * or printer callback must not close its own port or wait for its reply.
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

/* Enumerations are 32-bit integers; in C++ their type is fixed so that any value a C caller
 * passes is well defined (and refused where the call says so). */
#ifdef __cplusplus
#define CP_ENUM_BASE : int32_t
#else
#define CP_ENUM_BASE
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Library ------------------------------------------------------------------------- */

/* The library's version text, "1.0.7.20210909". Never null; not to be freed. */
CP_API const char *CP_Library_Version(void);

/* ==== Ports and transports ============================================================= */

/* ---- Port handles, port calls and events --------------------------------------------- */

/*
 * A handle (void *) names one open port. It is an opaque value, not an address, and is valid
 * from a successful open until the port's close begins, whether the application closes it
 * or the library does after a transport failure. No handle value is given out twice in the
 * life of the process (a 32-bit build may give one out again after some 2^31 opens, never
 * while its port lives), so a closed handle never names a port opened later. Every call
 * refuses a null, unknown or closed handle with its failure value. Up to 100 ports are open
 * at once; a port leaves its place to the next open as soon as its close begins.
 */

/* Port type codes. */
typedef enum CP_PortType CP_ENUM_BASE {
    CP_PortType_Com = 1,
    CP_PortType_Tcp = 2,
    CP_PortType_Usb = 4,
    CP_PortType_Lpt = 8,
    CP_PortType_Udp = 16,
    CP_PortType_File = 128,
    CP_PortType_MemoryBuffer = 256,
    CP_PortType_BtSpp = 512,
    CP_PortType_BtBle = 2048,
    CP_PortType_BtBleProtoV2 = 16384,
    CP_PortType_BtBleProtoV3 = 32768,
    CP_PortType_BtBleProtoVA = 65536
} CP_PortType;

/* Serial settings (passed to the port unchanged). */
typedef enum CP_ComDataBits CP_ENUM_BASE {
    CP_ComDataBits_4 = 4,
    CP_ComDataBits_5 = 5,
    CP_ComDataBits_6 = 6,
    CP_ComDataBits_7 = 7,
    CP_ComDataBits_8 = 8
} CP_ComDataBits;

typedef enum CP_ComParity CP_ENUM_BASE {
    CP_ComParity_NoParity = 0,
    CP_ComParity_OddParity = 1,
    CP_ComParity_EvenParity = 2,
    CP_ComParity_MarkParity = 3,
    CP_ComParity_SpaceParity = 4
} CP_ComParity;

typedef enum CP_ComStopBits CP_ENUM_BASE {
    CP_ComStopBits_One = 0,
    CP_ComStopBits_OnePointFive = 1,
    CP_ComStopBits_Two = 2
} CP_ComStopBits;

typedef enum CP_ComFlowControl CP_ENUM_BASE {
    CP_ComFlowControl_None = 0,
    CP_ComFlowControl_XonXoff = 1,
    CP_ComFlowControl_RtsCts = 2,
    CP_ComFlowControl_DtrDsr = 3
} CP_ComFlowControl;

/*
 * Event callbacks. Each gets the value given at registration as private_data. A name or
 * buffer passed to a callback is valid only during the call. The handle of a closed event
 * may already be invalid: compare it, or pass it to calls (which refuse it).
 * Opened and open-failed callbacks run on a new thread per open, closed callbacks on a new
 * thread per close, written callbacks on the writing thread, received and printer
 * callbacks on the port's reader thread. When no thread can be created, opened, open-failed
 * and closed callbacks run on the calling thread instead. A port reports opened once and
 * then closed once: its closed callbacks wait until its opened callbacks have returned, so
 * an opened callback must not wait for its own port's closed event.
 */
typedef void (*CP_OnPortOpenedEvent)(void *handle, const char *name, void *private_data);
typedef void (*CP_OnPortOpenFailedEvent)(void *handle, const char *name, void *private_data);
typedef void (*CP_OnPortClosedEvent)(void *handle, void *private_data);
typedef void (*CP_OnPortWrittenEvent)(void *handle, const unsigned char *buffer,
                                      unsigned int count, void *private_data);
typedef void (*CP_OnPortReceivedEvent)(void *handle, const unsigned char *buffer,
                                       unsigned int count, void *private_data);
typedef void (*CP_OnPrinterStatusEvent)(void *handle, int64_t printer_error_status,
                                        int64_t printer_info_status, void *private_data);
typedef void (*CP_OnPrinterReceivedEvent)(void *handle, unsigned int printer_received_byte_count,
                                          void *private_data);
typedef void (*CP_OnPrinterPrintedEvent)(void *handle, unsigned int printer_printed_page_id,
                                         void *private_data);

/*
 * Registration. Add is false for a null callback and for one already registered on that
 * list (the first private_data stays). Remove is false when the callback is not registered.
 * Callbacks run in registration order, one at a time per kind.
 */
CP_API bool CP_Port_AddOnPortOpenedEvent(CP_OnPortOpenedEvent callback, void *private_data);
CP_API bool CP_Port_AddOnPortOpenFailedEvent(CP_OnPortOpenFailedEvent callback, void *private_data);
CP_API bool CP_Port_AddOnPortClosedEvent(CP_OnPortClosedEvent callback, void *private_data);
CP_API bool CP_Port_AddOnPortWrittenEvent(CP_OnPortWrittenEvent callback, void *private_data);
CP_API bool CP_Port_AddOnPortReceivedEvent(CP_OnPortReceivedEvent callback, void *private_data);
CP_API bool CP_Printer_AddOnPrinterStatusEvent(CP_OnPrinterStatusEvent callback, void *private_data);
CP_API bool CP_Printer_AddOnPrinterReceivedEvent(CP_OnPrinterReceivedEvent callback,
                                                 void *private_data);
CP_API bool CP_Printer_AddOnPrinterPrintedEvent(CP_OnPrinterPrintedEvent callback,
                                                void *private_data);
CP_API bool CP_Port_RemoveOnPortOpenedEvent(CP_OnPortOpenedEvent callback);
CP_API bool CP_Port_RemoveOnPortOpenFailedEvent(CP_OnPortOpenFailedEvent callback);
CP_API bool CP_Port_RemoveOnPortClosedEvent(CP_OnPortClosedEvent callback);
CP_API bool CP_Port_RemoveOnPortWrittenEvent(CP_OnPortWrittenEvent callback);
CP_API bool CP_Port_RemoveOnPortReceivedEvent(CP_OnPortReceivedEvent callback);
CP_API bool CP_Printer_RemoveOnPrinterStatusEvent(CP_OnPrinterStatusEvent callback);
CP_API bool CP_Printer_RemoveOnPrinterReceivedEvent(CP_OnPrinterReceivedEvent callback);
CP_API bool CP_Printer_RemoveOnPrinterPrintedEvent(CP_OnPrinterPrintedEvent callback);

/*
 * Opens. Each returns a handle or NULL, and reports the outcome to the opened or open-failed
 * callbacks with the name (dest_ip for TCP); a NULL name is refused without an event.
 * Names are cut to 299 bytes. CP_Port_OpenMemoryBuffer reports no event.
 */
CP_API void *CP_Port_OpenCom(const char *name, unsigned int baudrate, CP_ComDataBits data_bits,
                             CP_ComParity parity, CP_ComStopBits stop_bits,
                             CP_ComFlowControl flow_control, unsigned int velnormode);
CP_API void *CP_Port_OpenLpt(const char *name);
/* Appends to the file, creating it when missing. */
CP_API void *CP_Port_OpenFile(const char *name);
CP_API void *CP_Port_OpenUsb(const char *name, unsigned int velnormode);
/* dest_ip is dotted IPv4 text (no name lookup); local_ip, when not NULL or empty, is bound
 * first. The connect gives up after timeout ms (0: when the system does). Keep-alive is on. */
CP_API void *CP_Port_OpenTcp(const char *local_ip, const char *dest_ip, unsigned short dest_port,
                             unsigned int timeout, unsigned int velnormode);
CP_API void *CP_Port_OpenBtSpp(const char *address, unsigned int velnormode);
/* Bluetooth LE ports by printer address ("AA:BB:CC:DD:EE:FF", upper case, as enumeration
 * reports it), one call per GATT profile. A printer not seen yet is searched for up to 20 s. */
CP_API void *CP_Port_OpenBtBle(const char *address, unsigned int velnormode);
CP_API void *CP_Port_OpenBtBleProtoV2(const char *address, unsigned int velnormode);
CP_API void *CP_Port_OpenBtBleProtoV3(const char *address, unsigned int velnormode);
CP_API void *CP_Port_OpenBtBleProtoVA(const char *address, unsigned int velnormode);
/* A write-only port that keeps up to buffer_size bytes; a write that does not fit whole
 * fails and stores nothing. */
CP_API void *CP_Port_OpenMemoryBuffer(unsigned int buffer_size);

/* Serial baud rate: false on every port of this platform. */
CP_API bool CP_Port_SetComBaudrate(void *handle, unsigned int baudrate);

/* Bluetooth LE V2 packet send times; act only on a V2 port (else false, 0, 0). */
CP_API bool CP_Port_ClearBtBleProtoV2PacketSendTimesList(void *handle);
CP_API int CP_Port_GetBtBleProtoV2PacketSendTimesListLength(void *handle);
CP_API int CP_Port_GetBtBleProtoV2PacketSendTimesListValue(void *handle, int *values, int count);

/* Memory ports only (else NULL, 0, false). The data pointer belongs to the port and is
 * valid until the port is closed; do not free it. */
CP_API const unsigned char *CP_Port_GetMemoryBufferDataPointer(void *handle);
CP_API unsigned int CP_Port_GetMemoryBufferDataLength(void *handle);
CP_API bool CP_Port_ClearMemoryBufferData(void *handle);

/* Wi-Fi P2P: not available on this platform. */
CP_API bool CP_Port_WiFiP2P_Connect(const char *name, unsigned int timeout);
CP_API void CP_Port_WiFiP2P_Disconnect(void);
CP_API bool CP_Port_WiFiP2P_IsConnected(void);

/* Bytes written, or -1 (bad handle or buffer, port closed, invalid, unwritable). */
CP_API int CP_Port_Write(void *handle, const unsigned char *buffer, unsigned int count,
                         unsigned int timeout);
/* Received bytes gathered within timeout ms (possibly 0), or -1 for a bad handle or buffer or
 * a negative count. ReadUntilByte also stops after the stop byte, which it includes. */
CP_API int CP_Port_Read(void *handle, unsigned char *buffer, int count, unsigned int timeout);
CP_API int CP_Port_ReadUntilByte(void *handle, unsigned char *buffer, int count,
                                 unsigned int timeout, unsigned char stop_byte);
/* Received bytes waiting, or -1. */
CP_API int CP_Port_Available(void *handle);
/* Discards the received bytes waiting. */
CP_API bool CP_Port_SkipAvailable(void *handle);
CP_API bool CP_Port_IsOpened(void *handle);
/* Opened, and with velnormode on, a printer status frame came recently. */
CP_API bool CP_Port_IsConnectionValid(void *handle);
/* Default write timeout (ms) of the printer commands on this port. */
CP_API bool CP_Port_SetDefaultWriteTimeout(void *handle, unsigned int timeout);
/* Closes the port at once, even under other calls; the handle becomes invalid. True for the
 * first close of an open handle; false for a null, unknown or already closed handle, also
 * one whose port the library closed after a transport failure. */
CP_API bool CP_Port_Close(void *handle);


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
 * non-zero. Blocks the caller, and returns only after the last callback has returned; cancel
 * may be null. A printer is reported every time it answers, once per local address its reply
 * arrives on. A null callback returns at once. */
CP_API void CP_Port_EnumNetPrinter(unsigned int timeout_ms, int *cancel,
                                   CP_OnNetPrinterDiscovered on_discovered,
                                   const void *private_data);

/* Gives a printer the Wi-Fi network name and password by AirKiss. Blocks until the printer
 * answers (1), or timeout_ms (whole seconds, rounded up) passes or the run is cancelled (0).
 * Null texts give 0. One run at a time: a second caller waits for the first. */
CP_API int CP_Airkiss_ConfigWireless(const char *ssid, const char *password,
                                     unsigned int timeout_ms);
/* Ends the running AirKiss run soon; a cancel given while none runs is forgotten. */
CP_API void CP_Airkiss_CancelConfig(void);

/* Network configuration of the printer interface with the MAC address mac ("AA-BB-CC-DD-EE-FF")
 * by UDP, from local_ip:local_port (no local address and port 0: any) to dest_ip:dest_port.
 * Each call resends its request every resend_ms (at least 1 ms) until the interface answers
 * (true) or timeout_ms passes (false). A MAC or address text that does not convert, or a
 * null text, gives false and sends nothing. mode 0 sends the mode bytes 80 08, any other
 * value 00 0C. */
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

/*
 * Serial, parallel, USB and Bluetooth serial ports cannot be reached on this platform:
 * CP_Port_OpenCom, CP_Port_OpenLpt, CP_Port_OpenUsb and CP_Port_OpenBtSpp always return
 * NULL after reporting open-failed. USB names are "VID:0xVVVV,PID:0xPPPP" with an optional
 * ",MI:nn" interface, or "product/serial" with an optional ",MI:nn"; Bluetooth serial ports
 * are named by their address.
 */

/*
 * Device lists. A list is a run of NUL-terminated entries followed by one more NUL. Each
 * call returns the number of entries copied into buffer (size bytes) and stores in
 * *required (may be NULL) the size the whole list needs: the sum, over every entry found,
 * of its length + 2. An entry that does not fit with its NUL and the closing NUL is left
 * out, and later shorter ones may still be copied; nothing is written when nothing is
 * copied. A NULL buffer has no room: call with NULL and 0 to learn the size.
 */
/* Serial device files (/dev/ttyS*, /dev/ttyUSB*), as "/dev/ttyS0". */
CP_API unsigned int CP_Port_EnumCom(char *buffer, unsigned int size, unsigned int *required);
/* Parallel device files (/dev/lp*). */
CP_API unsigned int CP_Port_EnumLpt(char *buffer, unsigned int size, unsigned int *required);
/* USB printer device files (/dev/usb/lp*). */
CP_API unsigned int CP_Port_EnumUsb(char *buffer, unsigned int size, unsigned int *required);

/* A Bluetooth LE printer found by CP_Port_EnumBleDevice: its name ("null" when it has none)
 * and its address ("AA:BB:CC:DD:EE:FF"), valid during the call only. Called on the
 * Bluetooth layer's thread; the same printer may be reported more than once. */
typedef void (*CP_OnBluetoothDeviceDiscovered)(const char *device_name,
                                               const char *device_address,
                                               const void *private_data);
/* Bluetooth classic enumeration: does nothing on this platform. */
CP_API void CP_Port_EnumBtDevice(unsigned int timeout_ms, int *cancel,
                                 CP_OnBluetoothDeviceDiscovered on_discovered,
                                 const void *private_data);
/* Scans for Bluetooth LE printers, reporting each to on_discovered, until *cancel (may be
 * NULL) becomes non-zero or timeout_ms (counted in whole seconds, rounded up) has passed;
 * blocks the caller, and no callback of the scan runs after it returns. on_discovered may
 * be NULL: the scan then only lets later Bluetooth LE opens find their printers at once.
 * Returns at once with a value below 1 when no scan can start; otherwise a positive value
 * of no further meaning. */
CP_API int CP_Port_EnumBleDevice(unsigned int timeout_ms, int *cancel,
                                 CP_OnBluetoothDeviceDiscovered on_discovered,
                                 const void *private_data);
/* Wi-Fi P2P enumeration: does nothing on this platform. */
typedef void (*CP_OnWiFiP2PDeviceDiscovered)(const char *device_name,
                                             const char *device_address,
                                             const char *device_type,
                                             const void *private_data);
CP_API void CP_Port_EnumWiFiP2PDevice(unsigned int timeout_ms, int *cancel,
                                      CP_OnWiFiP2PDeviceDiscovered on_discovered,
                                      const void *private_data);

/* Logging: both do nothing on this platform. */
CP_API void CP_Logger_SetDebugEnabled(int enabled);
CP_API void CP_Logger_SetLogToFile(const char *file_path);

/* ==== Printer commands and device protocol ============================================ */

/* ---- Command objects and receipt text and format commands ---------------------------- */

/* Receipt enumerations: values the library sends to the printer cut to a byte, giving them
 * no meaning of its own. */
typedef int32_t CP_CharacterSet;       /* ESC R parameter */
typedef int32_t CP_CharacterCodepage;  /* ESC t parameter */
typedef int32_t CP_MultiByteEncoding;  /* ESC 9 parameter */
typedef int32_t CP_Pos_Alignment;      /* ESC a parameter */
#define CP_Pos_Alignment_Left 0
#define CP_Pos_Alignment_HCenter 1
#define CP_Pos_Alignment_Right 2
typedef int32_t CP_Pos_BarcodeTextPrintPosition; /* GS H parameter */
#define CP_Pos_BarcodeTextPrintPosition_None 0
#define CP_Pos_BarcodeTextPrintPosition_AboveBarcode 1
#define CP_Pos_BarcodeTextPrintPosition_BelowBarcode 2
#define CP_Pos_BarcodeTextPrintPosition_AboveAndBelowBarcode 3

/* Every call below takes a handle from an open call and returns 1 when the whole command
 * was written through the port with the handle's default write timeout, else 0 (also for a
 * null or closed handle). A call that sends several writes returns 1 only when every one
 * was written whole. Integer arguments go to the printer as their low byte, or as their low
 * 16 bits, least significant byte first, where a command takes 16 bits. */

/* Text. PrintText writes the bytes of str before its NUL, unchanged (no line feed).
 * PrintTextInBytes writes exactly length bytes of data (NULs included); a negative length
 * or null data gives 0 with nothing sent. The wide forms convert str to the named encoding
 * first; text the encoding cannot represent gives 0 with nothing sent. They send no
 * encoding command: select the matching code page or multibyte encoding yourself. */
CP_API int CP_Pos_PrintText(void *handle, const char *str);
CP_API int CP_Pos_PrintTextInUTF8(void *handle, const wchar_t *str);
CP_API int CP_Pos_PrintTextInGBK(void *handle, const wchar_t *str);
CP_API int CP_Pos_PrintTextInBIG5(void *handle, const wchar_t *str);
CP_API int CP_Pos_PrintTextInShiftJIS(void *handle, const wchar_t *str);
CP_API int CP_Pos_PrintTextInEUCKR(void *handle, const wchar_t *str);
CP_API int CP_Pos_PrintTextInBytes(void *handle, const char *data, int length);

/* Drawer, beep, paper. Beep: nBeepMs is sent in units of 100 ms. FeedDot sends one ESC J
 * per 255 dots and then the rest, each as its own write; a negative count gives 0. */
CP_API int CP_Pos_KickOutDrawer(void *handle, int nDrawerIndex, int nHighLevelTime, int nLowLevelTime);
CP_API int CP_Pos_Beep(void *handle, int nBeepCount, int nBeepMs);
CP_API int CP_Pos_FeedAndHalfCutPaper(void *handle);
CP_API int CP_Pos_FullCutPaper(void *handle);
CP_API int CP_Pos_HalfCutPaper(void *handle);
CP_API int CP_Pos_FeedLine(void *handle, int numLines);
CP_API int CP_Pos_FeedDot(void *handle, int numDots);
CP_API int CP_Pos_PrintSelfTestPage(void *handle);
CP_API int CP_Pos_ResetPrinter(void *handle);

/* Printer settings and character tables. */
CP_API int CP_Pos_SetPrintSpeed(void *handle, int nSpeed);
CP_API int CP_Pos_SetPrintDensity(void *handle, int nDensity);
CP_API int CP_Pos_SetSingleByteMode(void *handle);
CP_API int CP_Pos_SetCharacterSet(void *handle, CP_CharacterSet nCharacterSet);
CP_API int CP_Pos_SetCharacterCodepage(void *handle, CP_CharacterCodepage nCharacterCodepage);
CP_API int CP_Pos_SetMultiByteMode(void *handle);
CP_API int CP_Pos_SetMultiByteEncoding(void *handle, CP_MultiByteEncoding nEncoding);

/* Layout and text style. SetTextScale sends (width & 7) << 4 | (height & 7). SetTextUnderline
 * sends the single-byte and then the multibyte underline command, two writes. */
CP_API int CP_Pos_SetMovementUnit(void *handle, int nHorizontalMovementUnit, int nVerticalMovementUnit);
CP_API int CP_Pos_SetPrintAreaLeftMargin(void *handle, int nLeftMargin);
CP_API int CP_Pos_SetPrintAreaWidth(void *handle, int nWidth);
CP_API int CP_Pos_SetAlignment(void *handle, CP_Pos_Alignment nAlignment);
CP_API int CP_Pos_SetTextScale(void *handle, int nWidthScale, int nHeightScale);
CP_API int CP_Pos_SetAsciiTextFontType(void *handle, int nFontType);
CP_API int CP_Pos_SetTextBold(void *handle, int nBold);
CP_API int CP_Pos_SetTextUnderline(void *handle, int nUnderline);
CP_API int CP_Pos_SetTextUpsideDown(void *handle, int nUpsideDown);
CP_API int CP_Pos_SetTextWhiteOnBlack(void *handle, int nWhiteOnBlack);
CP_API int CP_Pos_SetTextRotate(void *handle, int nRotate);
CP_API int CP_Pos_SetTextLineHeight(void *handle, int nLineHeight);
CP_API int CP_Pos_SetAsciiTextCharRightSpacing(void *handle, int nSpacing);
CP_API int CP_Pos_SetKanjiTextCharSpacing(void *handle, int nLeftSpacing, int nRightSpacing);

/* Barcode settings, used by the barcode calls that follow them. */
CP_API int CP_Pos_SetBarcodeUnitWidth(void *handle, int nBarcodeUnitWidth);
CP_API int CP_Pos_SetBarcodeHeight(void *handle, int nBarcodeHeight);
CP_API int CP_Pos_SetBarcodeReadableTextFontType(void *handle, int nFontType);
CP_API int CP_Pos_SetBarcodeReadableTextPosition(void *handle, CP_Pos_BarcodeTextPrintPosition nTextPosition);

/* ---- Printer replies, status queries and the framed maintenance protocol ------------- */

/* -- Printer state, status queries and the framed maintenance calls -- */

/*
 * Printer state. With velnormode on, the printer reports on its own by 8-byte status frames;
 * the getters return what the last frames of each kind said (all 0 before any came) and
 * change nothing. Every output pointer may be null. All return false for a null or closed
 * handle. Timestamps are wall-clock milliseconds of the frame's arrival.
 */
CP_API bool CP_Printer_GetPrinterResolutionInfo(void *handle, unsigned int *width_mm,
                                                unsigned int *height_mm,
                                                unsigned int *dots_per_mm);
/* The firmware-version text of the last communication-test reply. *needed = its length + 1;
 * a non-null buffer of buffer_size > 0 gets it NUL-terminated, cut to buffer_size - 1. */
CP_API bool CP_Printer_GetPrinterFirmwareVersion(void *handle, char *buffer,
                                                 unsigned int buffer_size,
                                                 unsigned int *needed);
CP_API bool CP_Printer_GetPrinterStatusInfo(void *handle, uint64_t *printer_error_status,
                                            uint64_t *printer_info_status,
                                            uint64_t *timestamp_ms);
CP_API bool CP_Printer_GetPrinterReceivedInfo(void *handle,
                                              unsigned int *printer_received_byte_count,
                                              uint64_t *timestamp_ms);
CP_API bool CP_Printer_GetPrinterPrintedInfo(void *handle, unsigned int *printer_printed_page_id,
                                             uint64_t *timestamp_ms);
/* Label print and tear position adjustments in millimetres. False, with nothing written,
 * until the printer reported its resolution. */
CP_API bool CP_Printer_GetPrinterLabelPositionAdjustmentInfo(
    void *handle, double *label_print_position_adjustment,
    double *label_tear_position_adjustment, uint64_t *timestamp_ms);
/* Sends the two adjustments (mm) in dots of the reported resolution, each truncated toward
 * zero and held to -128..127 dots (NaN sends 0); before any resolution report both are 0.
 * True when the command was written whole. */
CP_API bool CP_Printer_SetPrinterLabelPositionAdjustmentInfo(
    void *handle, double label_print_position_adjustment, double label_tear_position_adjustment);
/* True when the command was written whole. */
CP_API bool CP_Printer_ClearPrinterBuffer(void *handle);
CP_API bool CP_Printer_ClearPrinterError(void *handle);

/*
 * Queries. They discard the received bytes waiting, write to the printer and read its reply
 * from the received bytes (as CP_Port_Read does): do not read the same port meanwhile.
 * QueryRTStatus sends DLE EOT 1 to 4 at once and again every 300 ms, and returns the four
 * status bytes, the first in the lowest byte, or 0 when none came within timeout_ms.
 * QueryPrintResult asks the printer to confirm everything sent before; true when it did
 * within timeout_ms (false also when the printer is off line or, with velnormode, reports
 * an error or stops reporting). A nonzero SetExitQueryCmd flag ends every print-result wait
 * of the handle at once, and keeps doing so until it is set back to 0.
 */
CP_API unsigned int CP_Pos_QueryRTStatus(void *handle, unsigned int timeout_ms);
CP_API bool CP_Pos_QueryPrintResult(void *handle, unsigned int timeout_ms);
CP_API bool CP_Pos_SetExitQueryCmd(void *handle, int flag);

/*
 * Framed maintenance protocol. The calls that wait for replies run only while the handle's
 * work flag is set (CP_Proto_SetWorkEnabled; the update, flash-read and query calls set it
 * themselves) and the port is open; clearing the flag from another thread ends them with
 * false. Failed attempts are tried again after 100 ms, up to tries attempts; tries < 1
 * sends nothing and fails. Time-outs are in milliseconds. The library sends type 255.
 */

/* Progress of the firmware update ("WriteData") and flash read ("ReadData"): text is the
 * percentage done, as "42.67%", or "Canceled". Called on the caller's thread. */
typedef void (*CP_OnProtoMessage)(const char *name, const char *text, void *private_data);

/* Serial and USB ports do not open on this platform: these return null. */
CP_API void *CP_Proto_OpenCom(const char *name, unsigned int baudrate, CP_ComDataBits data_bits,
                              CP_ComParity parity, CP_ComStopBits stop_bits);
CP_API void *CP_Proto_OpenUsb(const char *name);
/* A UDP port to the printer, bound to local_ip:local_port when either is given, that takes
 * received packets without checking their check bytes. Null on failure. */
CP_API void *CP_Proto_OpenUdp(const char *local_ip, unsigned short local_port,
                              const char *dest_ip, unsigned short dest_port);
/* Serial ports only: always false here. */
CP_API bool CP_Proto_SetComBaudrate(void *handle, unsigned int baudrate);
CP_API bool CP_Proto_SetWorkEnabled(void *handle, int enable);
CP_API bool CP_Proto_IsWorkEnabled(void *handle);

/* One request and its reply (same command and parameter). On success copies
 * min(reply length, reply_capacity) bytes of the reply body to reply and stores the count
 * in *reply_length (0 when reply or reply_capacity is 0 or the reply has no body). */
CP_API bool CP_Proto_SendPackageAndRecvResponseWithRetry(
    void *handle, unsigned char type, unsigned short command, unsigned int parameter,
    unsigned short body_length, const unsigned char *body, unsigned int write_timeout,
    unsigned int read_timeout, unsigned int reply_capacity, unsigned char *reply,
    unsigned int *reply_length, int tries);
/* Sends data in blocks of block_size (1 to 65535) bytes without waiting between them,
 * block k with parameter + its offset, then waits until every block was answered. At most
 * 4096 blocks a call: more are refused before anything is sent. */
CP_API bool CP_Proto_SendDataWithRetry(void *handle, unsigned char type, unsigned short command,
                                       unsigned int parameter, unsigned int length,
                                       const unsigned char *data, unsigned short block_size,
                                       unsigned int write_timeout, unsigned int read_timeout,
                                       int tries);
/* Requests length bytes as slices of 256 (parameter + offset each) and copies the reply
 * bodies, in order, to buffer up to length bytes; *received_length gets the count. At most
 * 4096 slices (1 MiB) a call: more are refused before anything is sent. */
CP_API bool CP_Proto_RecvDataWithRetry(void *handle, unsigned char type, unsigned short command,
                                       unsigned int parameter, unsigned int write_timeout,
                                       unsigned int read_timeout, unsigned int length,
                                       unsigned char *buffer, unsigned int *received_length,
                                       int tries);
/* Command 32 with "DEVICE??"; the reply body is the firmware-version text. */
CP_API bool CP_Proto_CommunicationTest(void *handle, unsigned char type,
                                       unsigned int write_timeout, unsigned int read_timeout,
                                       unsigned int reply_capacity, unsigned char *reply,
                                       unsigned int *reply_length, int tries);
CP_API bool CP_Proto_ClearParameters(void *handle, unsigned char type, unsigned int write_timeout,
                                     unsigned int read_timeout, int tries);
/* Sends "a" every 10 ms until the printer answers "a" (true), or until the work flag is
 * cleared or the port closes (false). */
CP_API bool CP_Proto_StopAtBootBySenda(void *handle);
/* Firmware update: begin, the image in 256-byte blocks with progress and cancel, end. A
 * nonzero *cancel (may be null) stops before the next block with "Canceled" and false. */
CP_API bool CP_Proto_UpdateProgramFromData(void *handle, const unsigned char *data,
                                           unsigned int length, int *cancel,
                                           CP_OnProtoMessage callback, void *private_data);
/* The file form reads a regular file of at most 4294967295 bytes (block offsets are 32-bit),
 * and only once the handle's port is open; a larger file, a device, a FIFO or a directory
 * gives false at once, before anything is read. */
CP_API bool CP_Proto_UpdateProgramFromFile(void *handle, const char *path, int *cancel,
                                           CP_OnProtoMessage callback, void *private_data);
/* Reads length bytes of flash from address into buffer, 256 bytes a request. */
CP_API bool CP_Proto_ReadFlash(void *handle, unsigned int address, unsigned char *buffer,
                               unsigned int length, int *cancel, CP_OnProtoMessage callback,
                               void *private_data);
/* The battery level the printer reports, or -1 when it did not answer within timeout. */
CP_API int CP_Proto_QueryBatteryLevel(void *handle, unsigned int timeout);
/* Copies the serial number (not NUL-terminated, cut to capacity) and returns its length, or
 * -1 when the printer did not answer within timeout. */
CP_API int CP_Proto_QuerySerialNumber(void *handle, char *buffer, unsigned int capacity,
                                      unsigned int timeout);
/* One packet each, no reply awaited; true when written. The two texts with their NULs may
 * take at most 256 bytes. */
CP_API bool CP_Proto_SetSystemNameAndSerialNumber(void *handle, const char *name,
                                                  const char *serial_number);
CP_API bool CP_Proto_SetBluetoothNameAndPassword(void *handle, const char *name,
                                                 const char *password);
/* The 16-byte parameter block: baudrate big-endian, then a byte each of codepage, density,
 * ASCII font type and line feed, then 16-bit little-endian idle time, power-off time,
 * maximum length and page length. */
CP_API bool CP_Proto_SetPTPBasicParameters(void *handle, unsigned int baudrate, int codepage,
                                           int density, int ascii_font_type, int line_feed,
                                           int idle_time, int power_off_time, int max_length,
                                           int page_length);

/* ---- Receipt graphics, page mode, layout helpers and labels -------------------------- */

/* Image enumerations, used by the receipt, page, label and imaging calls. Pixel layouts
 * accepted for caller pixels; every row starts `stride` bytes after the last. */
typedef enum CP_ImagePixelsFormat CP_ENUM_BASE {
    CP_ImagePixelsFormat_Mono = 1,     /* 1 bit per dot, bit 7 leftmost, set = black */
    CP_ImagePixelsFormat_MonoLsb = 2,  /* 1 bit per dot, bit 0 leftmost, set = black */
    CP_ImagePixelsFormat_Gray8 = 3,    /* 1 byte per dot, 0 = black */
    CP_ImagePixelsFormat_Rgb888 = 4,   /* R, G, B */
    CP_ImagePixelsFormat_Bgr888 = 5,   /* B, G, R */
    CP_ImagePixelsFormat_Argb8888 = 6, /* A, R, G, B */
    CP_ImagePixelsFormat_Rgba8888 = 7, /* R, G, B, A */
    CP_ImagePixelsFormat_Abgr8888 = 8, /* A, B, G, R */
    CP_ImagePixelsFormat_Bgra8888 = 9  /* B, G, R, A */
} CP_ImagePixelsFormat;

typedef enum CP_ImageBinarizationMethod CP_ENUM_BASE {
    CP_ImageBinarizationMethod_Dithering = 0,     /* 16 x 16 ordered dither */
    CP_ImageBinarizationMethod_Thresholding = 1,  /* black below the image's mean gray */
    CP_ImageBinarizationMethod_ErrorDiffusion = 2 /* 5 x 5 serpentine error diffusion */
} CP_ImageBinarizationMethod;

typedef enum CP_ImageCompressionMethod CP_ENUM_BASE {
    CP_ImageCompressionMethod_None = 0,
    CP_ImageCompressionMethod_RunLength = 1,
    CP_ImageCompressionMethod_Jbig = 2
} CP_ImageCompressionMethod;

/* Symbology byte m of the receipt barcode command GS k m n (sent as the value's low byte). */
typedef int32_t CP_Pos_BarcodeType;
#define CP_Pos_BarcodeType_UPCA 65
#define CP_Pos_BarcodeType_UPCE 66
#define CP_Pos_BarcodeType_EAN13 67
#define CP_Pos_BarcodeType_EAN8 68
#define CP_Pos_BarcodeType_CODE39 69
#define CP_Pos_BarcodeType_ITF 70
#define CP_Pos_BarcodeType_CODABAR 71
#define CP_Pos_BarcodeType_CODE93 72
#define CP_Pos_BarcodeType_CODE128 73

/* QR error-correction level of the printer commands: 1..4 = L, M, Q, H. The QR image
 * helpers (Quorvantelmise_qrhelper_*, CP_Qrcode_*, Quorvantelmise_NZQRCodeUtils_*) number
 * the same levels 0..3 and refuse 4. */
typedef int32_t CP_QRCodeECC;
#define CP_QRCodeECC_L 1
#define CP_QRCodeECC_M 2
#define CP_QRCodeECC_Q 3
#define CP_QRCodeECC_H 4

/* Page-mode draw direction (ESC T n). Directions 0 and 2 measure x along the page area's
 * width and y along its height; 1 and 3 the other way round. */
typedef int32_t CP_Page_DrawDirection;
#define CP_Page_DrawDirection_LeftToRight 0
#define CP_Page_DrawDirection_BottomToTop 1
#define CP_Page_DrawDirection_RightToLeft 2
#define CP_Page_DrawDirection_TopToBottom 3

/* Page position codes, accepted for the x and y of every page-mode draw call in place of a
 * position in dots: the item starts at the start of the page area, is centred, or ends at
 * its end, along that axis of the draw direction. */
#define CP_Page_Position_Start (-1)
#define CP_Page_Position_Center (-2)
#define CP_Page_Position_End (-3)

/* Receipt symbols, lines, images and print position. Each call writes its command in one
 * write and returns 1 when it was written whole, else 0 (also for a null or closed handle).
 * A null text or array, a negative count, and a text too long for the command's length
 * field are refused with nothing sent. */

/* GS k m n: the text with a one-byte count (at most 255 bytes). Code128Auto sends CODE128
 * (73) data whose code sets are chosen for the text: "{C" digit pairs wherever four or more
 * digits run, "{B" for the rest, a "{" of the text doubled; at most 255 bytes of such data. */
CP_API int CP_Pos_PrintBarcode(void *handle, CP_Pos_BarcodeType nBarcodeType, const char *str);
CP_API int CP_Pos_PrintBarcode_Code128Auto(void *handle, const char *str);
/* GS k 'a' v e nL nH: texts up to 65535 bytes. */
CP_API int CP_Pos_PrintQRCode(void *handle, int nVersion, CP_QRCodeECC nECCLevel, const char *str);
/* GS ( k: module size, ECC level, store (texts up to 65532 bytes) and print. */
CP_API int CP_Pos_PrintQRCodeUseEpsonCmd(void *handle, int nQRCodeUnitWidth, CP_QRCodeECC nECCLevel,
                                         const char *str);
/* Two QR codes side by side (US Q 2); positions and lengths go most significant byte first,
 * texts up to 65535 bytes each. */
CP_API int CP_Pos_PrintDoubleQRCode(void *handle, int nQRCodeUnitWidth, int nQR1Position,
                                    int nQR1Version, CP_QRCodeECC nQR1ECCLevel, const char *strQR1,
                                    int nQR2Position, int nQR2Version, CP_QRCodeECC nQR2ECCLevel,
                                    const char *strQR2);
/* GS ( k PDF417: columns, rows, module width, row height, ECC level (sent + 48), data mode,
 * store (texts up to 65532 bytes) and print. */
CP_API int CP_Pos_PrintPDF417BarcodeUseEpsonCmd(void *handle, int columnCount, int rowCount,
                                                int unitWidth, int rowHeight, int nECCLevel,
                                                int dataProcessingMode, const char *str);

/* Horizontal lines (GS '): one line per dot row of thickness (at least 1), or up to 255
 * lines on one dot row, from pLineStartPosition[i] to pLineEndPosition[i]. */
CP_API int CP_Pos_PrintHorizontalLine(void *handle, int nLineStartPosition, int nLineEndPosition);
CP_API int CP_Pos_PrintHorizontalLineSpecifyThickness(void *handle, int nLineStartPosition,
                                                      int nLineEndPosition, int nLineThickness);
CP_API int CP_Pos_PrintMultipleHorizontalLinesAtOneRow(void *handle, int nLineCount,
                                                       const int *pLineStartPosition,
                                                       const int *pLineEndPosition);

/* Print position in motion units (ESC $, ESC \, GS $, GS \); relative moves may be
 * negative. */
CP_API int CP_Pos_SetHorizontalAbsolutePrintPosition(void *handle, int nPosition);
CP_API int CP_Pos_SetHorizontalRelativePrintPosition(void *handle, int nPosition);
CP_API int CP_Pos_SetVerticalAbsolutePrintPosition(void *handle, int nPosition);
CP_API int CP_Pos_SetVerticalRelativePrintPosition(void *handle, int nPosition);

/* Raster images, binarised by binarization_method and sent in one write as GS v 0 banks of
 * 24 rows (compression None), one US ( P per row (RunLength) or US ( J banks of 255 rows
 * (Jbig). File and data images are scaled to dstw x dsth dots; a dimension of 0 or less
 * follows the other and the aspect ratio, both 0 or less keep the image's own size. Pixel
 * images print at their own size: img_height rows of img_width pixels of img_format, each
 * row starting img_stride bytes after the last (a row of the format must fit in the
 * stride); img_datalen, when not 0, must cover img_stride x img_height bytes (0: the
 * caller vouches for the rows). An unknown method, an image that does not
 * load, a size that comes out below 1 and an image wider than the command can carry (JBIG:
 * 65528 dots) give 0 with nothing sent. */
CP_API int CP_Pos_PrintRasterImageFromFile(void *handle, int dstw, int dsth, const char *pszFile,
                                           CP_ImageBinarizationMethod binarization_method,
                                           CP_ImageCompressionMethod compression_method);
CP_API int CP_Pos_PrintRasterImageFromData(void *handle, int dstw, int dsth,
                                           const unsigned char *data, unsigned int data_size,
                                           CP_ImageBinarizationMethod binarization_method,
                                           CP_ImageCompressionMethod compression_method);
CP_API int CP_Pos_PrintRasterImageFromPixels(void *handle, const unsigned char *img_data,
                                             unsigned int img_datalen, int img_width,
                                             int img_height, int img_stride,
                                             CP_ImagePixelsFormat img_format,
                                             CP_ImageBinarizationMethod binarization_method,
                                             CP_ImageCompressionMethod compression_method);

/* -- Page mode -- */

/*
 * In page mode the printer composes a page in its memory and prints it whole (PrintPage).
 * Each call returns 1 when its commands were written whole, else 0 (also for a null or
 * closed handle). SetPageArea and SetPageDrawDirection, like the text-scale and barcode
 * settings of the receipt calls, are remembered by the handle once sent; the drawing calls
 * place their item from them (until SetPageArea was sent the area is 0 x 0).
 *
 * SelectPageModeEx sends, stopping at the first failure: SetMovementUnit, SelectPageMode,
 * SetPageArea, direction 0, text line height 32, character spacings 0, text scale 0 0,
 * barcode unit width 2, height 60, readable text below in font 0.
 */
CP_API int CP_Page_SelectPageMode(void *handle);
CP_API int CP_Page_SelectPageModeEx(void *handle, int nHorizontalMovementUnit,
                                    int nVerticalMovementUnit, int x, int y, int width,
                                    int height);
CP_API int CP_Page_ExitPageMode(void *handle);
CP_API int CP_Page_PrintPage(void *handle);
CP_API int CP_Page_ClearPage(void *handle);
CP_API int CP_Page_SetPageArea(void *handle, int x, int y, int width, int height);
CP_API int CP_Page_SetPageDrawDirection(void *handle, CP_Page_DrawDirection nDirection);

/*
 * Drawing. x and y are dots in the page area along the draw direction, or a page position
 * code (CP_Page_Position_Start, _Center, _End), resolved from the item's measured size.
 * Text, barcodes, QR codes and images move the print position there (ESC $, GS $) and then
 * send the item's receipt command; text, barcode and QR calls stop at the first failed
 * write, and an item whose text or size the call refuses moves nothing.
 *
 * Rect fills width x height dots (both at least 1) in color. Box draws the rectangle in
 * bordercolor and its inside, borderwidth dots in, in the other colour (1 for 0, else 0);
 * no inside when the border fills the box.
 * Text is measured in character cells of 12 x 24 dots (24 x 24 for characters of code 256
 * and above) times the text scale, up to its first control character, and placed on its
 * baseline. The narrow form reads the text in the environment's locale; bytes that do not
 * convert count one 12-dot cell each.
 * Barcode types 0 to 8 and 65 to 73 are measured (others as 0 dots wide), with the readable
 * text 24 dots high (18 in font 1). QR codes are measured at the barcode unit width as
 * module size. Images are sized, and pixel rows read, as the receipt image calls do it
 * (img_datalen, when not 0, must cover img_stride x img_height bytes), binarised and sent
 * as one GS 8 L image (at most 65528 x 65528 dots); the image is sent even when a position
 * command failed, and the call then gives 0.
 */
CP_API int CP_Page_DrawRect(void *handle, int x, int y, int width, int height, int color);
CP_API int CP_Page_DrawBox(void *handle, int x, int y, int width, int height, int borderwidth,
                           int bordercolor);
CP_API int CP_Page_DrawText(void *handle, int x, int y, const char *str);
CP_API int CP_Page_DrawTextInUTF8(void *handle, int x, int y, const wchar_t *str);
CP_API int CP_Page_DrawTextInGBK(void *handle, int x, int y, const wchar_t *str);
CP_API int CP_Page_DrawTextInBIG5(void *handle, int x, int y, const wchar_t *str);
CP_API int CP_Page_DrawTextInShiftJIS(void *handle, int x, int y, const wchar_t *str);
CP_API int CP_Page_DrawTextInEUCKR(void *handle, int x, int y, const wchar_t *str);
CP_API int CP_Page_DrawBarcode(void *handle, int x, int y, CP_Pos_BarcodeType nBarcodeType,
                               const char *str);
CP_API int CP_Page_DrawQRCode(void *handle, int x, int y, int nVersion, CP_QRCodeECC nECCLevel,
                              const char *str);
CP_API int CP_Page_DrawRasterImageFromFile(void *handle, int x, int y, int dstw, int dsth,
                                           const char *pszFile,
                                           CP_ImageBinarizationMethod binarization_method);
CP_API int CP_Page_DrawRasterImageFromData(void *handle, int x, int y, int dstw, int dsth,
                                           const unsigned char *data, unsigned int data_size,
                                           CP_ImageBinarizationMethod binarization_method);
CP_API int CP_Page_DrawRasterImageFromPixels(void *handle, int x, int y,
                                             const unsigned char *img_data,
                                             unsigned int img_datalen, int img_width,
                                             int img_height, int img_stride,
                                             CP_ImagePixelsFormat img_format,
                                             CP_ImageBinarizationMethod binarization_method);

/* -- Label commands -- */

/* Label enumerations: their low byte goes to the printer unchanged; the library gives them
 * no meaning. The text position is that of the receipt command GS H. */
typedef int32_t CP_Label_BarcodeType;
typedef int32_t CP_Label_BarcodeTextPrintPosition;
typedef int32_t CP_Label_Rotation;
typedef int32_t CP_Label_Color;

/*
 * A label page: PageBegin, drawing calls, PagePrint. Every call returns 1 when its command
 * was written whole through the port with the handle's default write timeout, else 0 (also
 * for a null or closed handle). Coordinates, sizes, fonts and styles go to the printer as
 * their low 16 bits, the other arguments as their low byte.
 *
 * Texts go to the printer NUL-terminated, so a null text, a negative length, or byte data
 * holding a 0 byte gives 0 with nothing sent. The wide forms convert to the named encoding
 * first; text the encoding cannot represent gives 0 with nothing sent.
 */
CP_API int CP_Label_EnableLabelMode(void *handle);
CP_API int CP_Label_DisableLabelMode(void *handle);
CP_API int CP_Label_CalibrateLabel(void *handle);
CP_API int CP_Label_FeedLabel(void *handle);
CP_API int CP_Label_BackPaperToPrintPosition(void *handle);
CP_API int CP_Label_FeedPaperToTearPosition(void *handle);
CP_API int CP_Label_PageBegin(void *handle, int x, int y, int width, int height,
                              CP_Label_Rotation rotation);
CP_API int CP_Label_PagePrint(void *handle, int copies);

CP_API int CP_Label_DrawText(void *handle, int x, int y, int font, int style, const char *str);
CP_API int CP_Label_DrawTextInUTF8(void *handle, int x, int y, int font, int style,
                                   const wchar_t *str);
CP_API int CP_Label_DrawTextInGBK(void *handle, int x, int y, int font, int style,
                                  const wchar_t *str);
CP_API int CP_Label_DrawTextInBIG5(void *handle, int x, int y, int font, int style,
                                   const wchar_t *str);
CP_API int CP_Label_DrawTextInShiftJIS(void *handle, int x, int y, int font, int style,
                                       const wchar_t *str);
CP_API int CP_Label_DrawTextInEUCKR(void *handle, int x, int y, int font, int style,
                                    const wchar_t *str);
CP_API int CP_Label_DrawTextInBytes(void *handle, int x, int y, int font, int style,
                                    const char *data, int length);

/* Barcode: first sends the receipt command GS H with the text position as a write of its
 * own, whose result is not used; the result is that of the label command. */
CP_API int CP_Label_DrawBarcode(void *handle, int x, int y, CP_Label_BarcodeType nBarcodeType,
                                CP_Label_BarcodeTextPrintPosition nBarcodeTextPrintPosition,
                                int height, int unitwidth, CP_Label_Rotation rotation,
                                const char *str);
CP_API int CP_Label_DrawQRCode(void *handle, int x, int y, int nVersion, CP_QRCodeECC nECCLevel,
                               int unitwidth, CP_Label_Rotation rotation, const char *str);
CP_API int CP_Label_DrawQRCodeInUTF8(void *handle, int x, int y, int nVersion,
                                     CP_QRCodeECC nECCLevel, int unitwidth,
                                     CP_Label_Rotation rotation, const wchar_t *str);
CP_API int CP_Label_DrawQRCodeInBytes(void *handle, int x, int y, int nVersion,
                                      CP_QRCodeECC nECCLevel, int unitwidth,
                                      CP_Label_Rotation rotation, const char *data, int length);
/* nECCLevel is the PDF417 level, sent as it is. */
CP_API int CP_Label_DrawPDF417Code(void *handle, int x, int y, int column, int nAspectRatio,
                                   int nECCLevel, int unitwidth, CP_Label_Rotation rotation,
                                   const char *str);

/* Rect is filled; Rect and Box are sent by their corners (x, y) and (x + width, y + height). */
CP_API int CP_Label_DrawLine(void *handle, int startx, int starty, int endx, int endy,
                             int linewidth, CP_Label_Color linecolor);
CP_API int CP_Label_DrawRect(void *handle, int x, int y, int width, int height,
                             CP_Label_Color color);
CP_API int CP_Label_DrawBox(void *handle, int x, int y, int width, int height, int borderwidth,
                            CP_Label_Color bordercolor);

/*
 * Images, binarised and sent as one label raster command, plain (compression 0) or JBIG
 * (compression 2); run-length and other methods give 0 with nothing sent. File and data
 * images print at dstw x dsth: their own size when both are 0 or less, else the missing
 * side follows the image's aspect ratio. Pixel images print at their own size and need
 * a row of the format fitting in the stride; img_datalen, when not 0, must cover
 * img_stride x img_height bytes (0: the caller vouches for the rows).
 * The raster's rows are padded to whole bytes; the command's width is that padded width
 * (a 300-dot image is sent 304 dots wide). Images wider than 65528 dots (mono pixels: a
 * stride above 8191 bytes) or taller than 65535 rows give 0 with nothing sent.
 */
CP_API int CP_Label_DrawImageFromFile(void *handle, int x, int y, int dstw, int dsth,
                                      const char *pszFile,
                                      CP_ImageBinarizationMethod binarization_method,
                                      CP_ImageCompressionMethod compression_method);
CP_API int CP_Label_DrawImageFromData(void *handle, int x, int y, int dstw, int dsth,
                                      const unsigned char *data, unsigned int data_size,
                                      CP_ImageBinarizationMethod binarization_method,
                                      CP_ImageCompressionMethod compression_method);
CP_API int CP_Label_DrawImageFromPixels(void *handle, int x, int y, const unsigned char *img_data,
                                        unsigned int img_datalen, int img_width, int img_height,
                                        int img_stride, CP_ImagePixelsFormat img_format,
                                        CP_ImageBinarizationMethod binarization_method,
                                        CP_ImageCompressionMethod compression_method);

/* ---- Black-mark paper, hardware settings and data scrambling ------------------------- */

/* Black-mark paper, on the receipt command object (1 when the whole command was written,
 * else 0). MaxFindLength sends the low 16 bits. The two position calls take a signed
 * distance from the mark: its low 16 bits, or for a negative distance a direction flag and
 * the magnitude. */
CP_API int CP_BlackMark_EnableBlackMarkMode(void *handle);
CP_API int CP_BlackMark_DisableBlackMarkMode(void *handle);
CP_API int CP_BlackMark_SetBlackMarkMaxFindLength(void *handle, int maxFindLength);
CP_API int CP_BlackMark_FindNextBlackMark(void *handle);
CP_API int CP_BlackMark_SetBlackMarkPaperPrintPosition(void *handle, int position);
CP_API int CP_BlackMark_SetBlackMarkPaperCutPosition(void *handle, int position);
CP_API int CP_BlackMark_FullCutBlackMarkPaper(void *handle);
CP_API int CP_BlackMark_HalfCutBlackMarkPaper(void *handle);

/* Sets the print speed stored in the printer by a 31-byte hardware-setting record, written
 * with a 10000 ms timeout (not the handle's default). 1 when written whole, else 0. */
CP_API int CP_Settings_Hardware_SetPrintSpeed(void *handle, int nSpeed);

/* Scrambles length bytes of data into out (which may be data) with a one-byte key derived
 * from a fresh 16-bit nonce and a key constant shared with the printer, so the printer can
 * undo it from the nonce. Stores the nonce in *nonce (may be NULL) and returns the key. The
 * nonce comes from rand() seeded with the current second (the process's rand() sequence is
 * reseeded), so calls within one second give the same nonce and key. With NULL data or out
 * nothing is written. */
CP_API unsigned char CP_CRC_Encrypt(const unsigned char *data, unsigned int length,
                                    unsigned char *out, unsigned int *nonce);

/* ==== Imaging, text encoding, barcodes and QR codes =================================== */

/* ---- Pixel formats, gray conversion, binarisation, scaling and image loading --------- */

/* The pixel format, binarisation and compression enumerations are declared with the
 * printer image calls above. */

/*
 * Rasters: 1 bit per dot, 1 = black, most significant bit leftmost, rows `bytes per line`
 * apart, top row first. Gray images: 1 byte per dot, 0 = black, 255 = white, stride = width.
 * Image1: 1 byte per dot, 1 = black. Vertical rasters: column-major, each column
 * `height bytes` long, top dot in the most significant bit of its first byte.
 *
 * Every pointer these functions return is a new buffer allocated with malloc, to be freed
 * by the caller with free; failure is NULL (or false / 0). Out-parameters may be NULL.
 * Sizes whose product does not fit in memory are refused, and so is a stride shorter than
 * one row of its format (raster rows: (width + 7) / 8 bytes).
 */

/* Caller pixels of any format to a raster. Mono formats keep the caller's stride as bytes
 * per line (the method is then ignored); the others give (width + 7) / 8. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(
    const unsigned char *pixels, size_t width, size_t height, size_t stride,
    CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method, size_t *out_size,
    size_t *out_bytes_per_line);
/* Formats 3 to 9 to a gray image of width x height bytes; other formats give NULL. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(
    const unsigned char *pixels, size_t width, size_t height, size_t stride,
    CP_ImagePixelsFormat format);
/* Every byte of stride x height bit-reversed. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertMonoImageToMonoLsbFormat(
    const unsigned char *raster, size_t width, size_t height, size_t stride);
/* Copy of stride x height bytes with the bits from `width` to the end of each row set
 * (flag nonzero) or cleared (flag 0). */
CP_API unsigned char *Quorvantelmise_ImgUtils_DumpRasterDataAndSetOverbound(
    size_t stride, size_t width, size_t height, const unsigned char *raster, int flag);
/* Copy to rows of new_stride bytes (new_stride >= old_stride), bits from `width` to the
 * end of each new row set or cleared by the flag. */
CP_API unsigned char *Quorvantelmise_ImgUtils_DumpRasterDataToWiderStrideAndSetOverbound(
    size_t old_stride, size_t width, size_t height, const unsigned char *raster,
    size_t new_stride, int flag);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToImage1(
    size_t stride, size_t width, size_t height, const unsigned char *raster);
/* Set bits give 0, clear bits 255. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToGrayImage(
    size_t stride, size_t width, size_t height, const unsigned char *raster);
/* dst_width x dst_height_bytes bytes; dots outside either image stay 0. */
CP_API unsigned char *
Quorvantelmise_ImgUtils_ConvertImage1ToVerticalRasterImageSpecifyDstWidthDotsAndHeightBytes(
    size_t src_width, size_t src_height, const unsigned char *image1, size_t dst_width,
    size_t dst_height_bytes);
/* dst_bytes_per_line x dst_height bytes of `fill`, the source rows copied to the start of
 * the first rows (clipped to the destination). */
CP_API unsigned char *Quorvantelmise_ImgUtils_GetAlignedHorizontalRasterImageData(
    const unsigned char *raster, size_t src_bytes_per_line, size_t src_height,
    size_t dst_bytes_per_line, size_t dst_height, unsigned char fill);
/* 4 x width bytes per row; the alpha byte is 255. */
CP_API unsigned char *Quorvantelmise_ImgUtils_GetBGRA8888ImageFromRGB888Image(
    const unsigned char *rgb, size_t width, size_t height, size_t stride);

/* Gray image (rows `stride` apart) to a raster of (width + 7) / 8 x height bytes. The
 * method forms report size and bytes per line even when allocation fails; an unknown
 * method gives NULL and leaves them unwritten. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(
    const unsigned char *gray, size_t width, size_t height, size_t stride,
    CP_ImageBinarizationMethod method, size_t *out_size, size_t *out_bytes_per_line);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseDithering(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size,
    size_t *out_bytes_per_line);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseThresholding(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size,
    size_t *out_bytes_per_line);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusionV2(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size,
    size_t *out_bytes_per_line);
/* Integer Floyd-Steinberg, left to right on every row. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusion(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size,
    size_t *out_bytes_per_line);
/* 5 x 5 serpentine diffusion of width x height doubles (0 black .. 255 white) into dst;
 * src and dst may be the same buffer. */
CP_API void Quorvantelmise_ImgUtils_dither_image_5x5(int width, int height, const double *src,
                                                     double *dst);
/* Adds value at (x, y) only inside the image. */
CP_API void Quorvantelmise_ImgUtils_AddValueToImagePixel(int width, int height, double *image,
                                                         int x, int y, double value);

/* Bicubic resampling to a new dst_width x dst_height image (3 or 4 bytes per pixel,
 * rows packed); a zero dimension gives a zero-filled destination. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ScaleRGB888Image(size_t src_width,
                                                               size_t src_height,
                                                               const unsigned char *src,
                                                               size_t dst_width,
                                                               size_t dst_height);
CP_API unsigned char *Quorvantelmise_ImgUtils_ScaleBGRA8888Image(size_t src_width,
                                                                 size_t src_height,
                                                                 const unsigned char *src,
                                                                 size_t dst_width,
                                                                 size_t dst_height);
/* The cubic convolution kernel (a = -1). */
CP_API double Quorvantelmise_ImgUtils_SinXDivX(double x);
/* 0 at or below 0, 255 at or above 255, else truncated. */
CP_API unsigned char Quorvantelmise_ImgUtils_border_color(double value);

/* Image loading: BMP (1, 4, 8, 24 bits, uncompressed) by the library's own reader, every
 * other format stb_image decodes. Bits per pixel is that of the encoded image. Pixels with
 * alpha (from an alpha channel, a palette or a transparent colour) are composited over
 * white. The file forms, and every image call that takes a path, read regular files only. */
CP_API int Quorvantelmise_ImgUtils_GetImageSizeFromData(const unsigned char *data, size_t length,
                                                        int *out_bpp, int *out_width,
                                                        int *out_height);
CP_API int Quorvantelmise_ImgUtils_GetImageSizeFromFile(const char *path, int *out_bpp,
                                                        int *out_width, int *out_height);
/* The whole file; *out_size is written in any case (-1 when the file cannot be opened or
 * is not a regular file). Empty files give NULL. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ReadFile(const char *path, long *out_size);
/* Decoded, scaled to dst_width x dst_height and binarised. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(
    const unsigned char *data, size_t length, size_t dst_width, size_t dst_height,
    CP_ImageBinarizationMethod method, size_t *out_size, size_t *out_bytes_per_line);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormat(
    const char *path, size_t dst_width, size_t dst_height, CP_ImageBinarizationMethod method,
    size_t *out_size, size_t *out_bytes_per_line);
/* At the image's own size; reports its width and height. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(
    const unsigned char *data, size_t length, CP_ImageBinarizationMethod method,
    size_t *out_size, size_t *out_bytes_per_line, size_t *out_width, size_t *out_height);
/* At the image's own size; reports its width and its encoded bits per pixel. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormatWithoutScale(
    const char *path, CP_ImageBinarizationMethod method, size_t *out_size,
    size_t *out_bytes_per_line, size_t *out_width, size_t *out_bpp);
/* Vertical rasters of dst_width x ((dst_height + 7) / 8) bytes. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImage(
    const unsigned char *data, size_t length, size_t dst_width, size_t dst_height,
    CP_ImageBinarizationMethod method, size_t *out_size, size_t *out_height_bytes);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToVerticalRasterImage(
    const char *path, size_t dst_width, size_t dst_height, CP_ImageBinarizationMethod method,
    size_t *out_size, size_t *out_height_bytes);
/* At the image's own size; report its width and its encoded bits per pixel. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImageWithoutScale(
    const unsigned char *data, size_t length, CP_ImageBinarizationMethod method,
    size_t *out_size, size_t *out_height_bytes, size_t *out_width, size_t *out_bpp);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToVerticalRasterImageWithoutScale(
    const char *path, CP_ImageBinarizationMethod method, size_t *out_size,
    size_t *out_height_bytes, size_t *out_width, size_t *out_bpp);
/* At the image's own size, white-padded to a width that is a multiple of width_align dots
 * and a height that is a multiple of height_align lines. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToHorizontalRasterImageWithoutScale(
    const unsigned char *data, size_t length, CP_ImageBinarizationMethod method,
    size_t width_align, size_t height_align, size_t *out_size, size_t *out_bytes_per_line,
    size_t *out_width, size_t *out_height);

/* ---- Raster commands, JBIG and base64 ------------------------------------------------- */

/*
 * Rasters here are 1 bit per dot, 1 = black, the most significant bit leftmost, rows
 * bytes_per_line bytes apart. Sizes are size_t; out-pointers may be null. Returned
 * buffers are allocated with malloc and freed by the caller with free. A command whose
 * length, width or line fields cannot hold the given sizes is refused (null, 0 or false,
 * with a reported size of 0) rather than written with a wrapped field; so are empty rasters.
 */

/* One GS v 0 command (8 + bytes_per_line * lines bytes). */
CP_API unsigned char *Quorvantelmise_ImgUtils_GetRasterCmdFromRasterData(
    uint16_t bytes_per_line, uint16_t lines, const unsigned char *raster, size_t *out_size);
/* Writes one GS v 0 command into dst (null: size only; dst must hold the size). Nonzero on
 * success; the size is reported in any case (0 when refused). */
CP_API int Quorvantelmise_ImgUtils_RasterDataToRasterCmd(size_t bytes_per_line, size_t lines,
                                                         const unsigned char *raster,
                                                         unsigned char *dst, size_t *out_size);
/* Consecutive GS v 0 commands of at most bank_height lines each. */
CP_API unsigned char *Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(
    size_t bytes_per_line, size_t lines, const unsigned char *raster, size_t bank_height,
    size_t *out_size);
/* GS 8 L store command (lines padded with white to a multiple of 8) plus its print trailer. */
CP_API unsigned char *Quorvantelmise_ImgUtils_GetEpsonTM88IVGS8CmdFromRasterData(
    size_t bytes_per_line, size_t lines, const unsigned char *raster, size_t *out_size);
/* Run-length codes one line: N then N bytes of (value, count) pairs when N < line_length
 * and N fits a byte, else 0 then the line unchanged. dst null: length only; dst must hold
 * line_length + 1 bytes. Nonzero on success; 0 (length 0) for a length where that sum
 * wraps. */
CP_API int Quorvantelmise_ImgUtils_CompressDataBuf(const unsigned char *line, size_t line_length,
                                                   unsigned char *dst, size_t *out_length);
/* One US ( P command per line. */
CP_API unsigned char *Quorvantelmise_ImgUtils_RasterDataToCompressCmd(size_t bytes_per_line,
                                                                      size_t lines,
                                                                      const unsigned char *raster,
                                                                      size_t *out_size);

/* JBIG (T.85) data of a raster, width dots wide (width <= 8 * bytes_per_line), into dst of
 * capacity bytes. Nonzero when the whole data fitted; the length it needs is reported in
 * any case, so null and 0 ask for the size (and return 0). */
CP_API int Quorvantelmise_ImgUtils_RasterDataCompressToJBIG85Data(
    size_t bytes_per_line, size_t width, size_t lines, const unsigned char *raster,
    unsigned char *dst, size_t capacity, size_t *out_produced);
/* Output state of the two JBIG callbacks below, for callers that drive jbig85 themselves.
 * Each callback adds its length to produced and copies while the bytes fit into dst; once
 * a piece did not fit nothing more is copied. Start with copied = produced = 0; the output
 * is whole exactly when produced == copied. */
typedef struct Quorvantelmise_ImgUtils_JbigSink {
    unsigned char *dst;
    size_t capacity;
    size_t copied;
    size_t produced;
} Quorvantelmise_ImgUtils_JbigSink;
struct jbg85_dec_state;
/* jbig85 encoder output callback; sink is a Quorvantelmise_ImgUtils_JbigSink. */
CP_API void Quorvantelmise_ImgUtils_output_bie(unsigned char *data, size_t length, void *sink);
/* jbig85 decoder line callback: appends the line to the sink; returns 0. */
CP_API int Quorvantelmise_ImgUtils_jbg85_dec_line_out_callback(
    const struct jbg85_dec_state *decoder, unsigned char *line, size_t length,
    unsigned long line_number, void *sink);
/* New buffer holding the JBIG data of the whole raster, or null. */
CP_API unsigned char *Quorvantelmise_ImgUtils_RasterDataToJBIG5Data(size_t bytes_per_line,
                                                                    size_t width, size_t lines,
                                                                    const unsigned char *raster,
                                                                    size_t *out_size);
/* New NUL-terminated base64 text of that JBIG data, or null. */
CP_API char *Quorvantelmise_ImgUtils_RasterDataToJBIG5Base64Data(size_t bytes_per_line,
                                                                 size_t width, size_t lines,
                                                                 const unsigned char *raster);
/* Consecutive US ( J commands, one JBIG image per bank of at most bank_height (<= 255)
 * lines, 8 * bytes_per_line dots wide. */
CP_API unsigned char *Quorvantelmise_ImgUtils_RasterDataToJBIG5CmdSpecifyBankHeight(
    size_t bytes_per_line, size_t lines, const unsigned char *raster, size_t bank_height,
    size_t *out_size);

/* Decodes JBIG data into dst of capacity bytes. Nonzero when the image decoded completely
 * and fitted; the decoded length is reported in any case, so null and 0 ask for the size
 * (and return 0). Rows wider than 1365 bytes (two-line template: 2048) are refused. */
CP_API int Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(
    const unsigned char *bie, size_t length, size_t *out_bytes_per_line, size_t *out_width,
    size_t *out_height, unsigned char *dst, size_t capacity, size_t *out_produced);
/* Nonzero when the data decodes and its width and height are both > 0. */
CP_API int Quorvantelmise_ImgUtils_DecodeImageSizeFromJBIGData(const unsigned char *bie,
                                                               size_t length,
                                                               size_t *out_width,
                                                               size_t *out_height);
/* Decodes into width * height 32-bit values, row by row: set_color for black dots,
 * clear_color for white. dst must hold width * height values (ask the size first). */
CP_API int Quorvantelmise_ImgUtils_DecodeRGBAImageFromJBIGData(
    const unsigned char *bie, size_t length, uint32_t clear_color, uint32_t set_color,
    uint32_t *dst, size_t *out_width, size_t *out_height);
/* The same with 32-bit sizes; width and height are set to 0 on failure. */
CP_API int CP_Image_DecodeImageSizeFromJBIGData(const unsigned char *bie, unsigned int length,
                                                unsigned int *out_width,
                                                unsigned int *out_height);
CP_API int CP_Image_DecodeRGBAImageFromJBIGData(const unsigned char *bie, unsigned int length,
                                                unsigned int clear_color, unsigned int set_color,
                                                unsigned int *dst, unsigned int *out_width,
                                                unsigned int *out_height);

/* Caller pixels (as Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat takes them;
 * pixels_length is not used) binarised and JBIG-coded: the length of that data, 0 on
 * failure; the Bytes form writes it into dst and returns the length only when it fitted
 * into capacity bytes, else 0. The CP_Image_ forms take 32-bit sizes. */
CP_API size_t Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataLength(
    const unsigned char *pixels, size_t pixels_length, size_t width, size_t height,
    size_t stride, CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method);
CP_API size_t Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataBytes(
    const unsigned char *pixels, size_t pixels_length, size_t width, size_t height,
    size_t stride, CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method,
    unsigned char *dst, size_t capacity);
CP_API unsigned int CP_Image_GetCompressToJBIGDataLength(const unsigned char *pixels,
                                                         unsigned int pixels_length, int width,
                                                         int height, int stride,
                                                         CP_ImagePixelsFormat format,
                                                         CP_ImageBinarizationMethod method);
CP_API unsigned int CP_Image_GetCompressToJBIGDataBytes(const unsigned char *pixels,
                                                        unsigned int pixels_length, int width,
                                                        int height, int stride,
                                                        CP_ImagePixelsFormat format,
                                                        CP_ImageBinarizationMethod method,
                                                        unsigned char *dst,
                                                        unsigned int capacity);

/* Standard base64 (RFC 4648 alphabet, "=" padding) and a NUL into dst, which must hold
 * (length + 2) / 3 * 4 + 1 bytes. Returns the text length without the NUL; 0 (nothing
 * written) for a null pointer or a text longer than 32 bits can count. */
CP_API unsigned int base64_encode(const unsigned char *src, unsigned int length, char *dst);
/* Decodes up to the first "=" or the end; dst must hold length / 4 * 3 bytes. Returns the
 * byte count; 0 (nothing written) when length is not a multiple of 4 or a character before
 * the first "=" is outside the alphabet. */
CP_API unsigned int base64_decode(const char *src, unsigned int length, unsigned char *dst);

/* ---- Wide-text encoding conversion ---------------------------------------------------- */

/* ---- One-dimensional barcodes and symbol renderers ------------------------------------ */

/*
 * Renderer barcode types (the nBarcodeType of the calls below; not the CP_Pos_BarcodeType
 * numbering of the printer commands): 0 UPC-A, 1 UPC-E, 2 EAN-13, 3 EAN-8, 4 Code 39,
 * 5 ITF, 6 Codabar, 7 Code 93, 8 Code 128 (automatic code sets), 9 Code 11, 10 MSI,
 * 11 Code 128 (manual code sets), 12 EAN-128, 13 ITF with check digit,
 * 14 Code 39 full ASCII with check character, 15 Code 39 full ASCII, 16 EAN-13 + 2,
 * 17 EAN-13 + 5, 18 EAN-8 + 2, 19 EAN-8 + 5, 21 UPC-A + 2, 22 UPC-A + 5, 23 UPC-E + 2,
 * 24 UPC-E + 5, 26 MSI with check digit, 28 ITF-14 (with quiet zones and bearer bars),
 * 29 EAN-14 (as Code 128). 20, 25, 27 and anything else fail.
 *
 * nUnitWidth is the narrow-module width in dots, 1 to 255. The text is 1 to 200 bytes; a
 * barcode wider than 2000 dots (before the 60 dots of ITF-14 quiet zones) fails.
 * Manual Code 128 control bytes: 144 FNC3, 145 FNC2, 146 SHIFT (the next byte is read in
 * the other of code sets A and B), 147 CODE C, 148 CODE B, 149 CODE A, 150 FNC1; a first
 * byte 151, 152 or 153 selects start code A, B or C.
 */

/* Width in dots of the barcode (ITF-14 includes its quiet zones); 0 on failure.
 * nIgnored is not used. */
CP_API int Quorvantelmise_NZBarcodeUtils_GetBarcodeWidthDots(int nBarcodeType, int nUnitWidth, int nIgnored,
                                                             const char *str);

/* Draws the barcode, nHeight rows, into pDst (32-bit pixels, row-major): bars in barColor,
 * everything else in spaceColor. Fails, writing nothing, when pDst is null or nDstSize (in
 * bytes) is below width x height x 4. Width and height are reported through pWidth and
 * pHeight (either may be null). Returns nonzero on success. */
CP_API int Quorvantelmise_NZBarcodeUtils_FillBarcodeRGBAData(int nBarcodeType, int nUnitWidth, int nHeight,
                                                             uint32_t spaceColor, uint32_t barColor,
                                                             const char *str, uint32_t *pDst, int32_t nDstSize,
                                                             int *pWidth, int *pHeight);

/* New RGB image (3 bytes a pixel, bars 0,0,0, everything else 255,255,255) of nHeight rows;
 * null on failure. Free with free. nIgnored is not used. */
CP_API unsigned char *Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBData(int nBarcodeType, int nUnitWidth,
                                                                      int nIgnored, int nHeight, const char *str,
                                                                      int *pWidth, int *pHeight);

/* New image of 32-bit pixels: bars barColor, everything else 0; null on failure. Free with
 * free. nIgnored is not used. */
CP_API uint32_t *Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBAData(int nBarcodeType, int nUnitWidth, int nIgnored,
                                                                  int nHeight, const char *str, uint32_t barColor,
                                                                  int *pWidth, int *pHeight);

/* Quorvantelmise_NZBarcodeUtils_GetBarcodeWidthDots with nUnitWidth. */
CP_API int CP_Barcode_GetBarcodeWidth(int nBarcodeType, int nUnitWidth, const char *str);

/* Quorvantelmise_NZBarcodeUtils_FillBarcodeRGBAData. */
CP_API int CP_Barcode_GetBarcodeRGBAData(int nBarcodeType, int nUnitWidth, int nHeight, uint32_t spaceColor,
                                         uint32_t barColor, const char *str, uint32_t *pDst, int32_t nDstSize,
                                         int *pWidth, int *pHeight);

/* Code 128 with the shortest sequence of code sets. Bytes 0xF1 to 0xF4 are FNC1 to FNC4.
 * code128_estimate_len suggests a destination size, enough for most texts (0 for null
 * or a text too long to measure). code128_encode_raw writes one byte per module (255 bar, 0 space):
 * start, data, code-set switches, check and stop, no quiet zone; it returns the count, at
 * most nMaxLength, or 0 when the text cannot be coded in nMaxLength modules (below 46 always
 * fails). */
CP_API int code128_estimate_len(const char *str);
CP_API int code128_encode_raw(const char *str, unsigned char *pDst, int nMaxLength);

/* EAN-13 modules, one byte each (1 bar, 0 space): a quiet module, the symbol of the 12
 * digits of str plus their check digit, a quiet module. EAN13_build writes EAN13_width()
 * (97) bytes and returns 0, or returns -1 (writing nothing) when one of the first 12
 * characters is not a digit. */
CP_API int EAN13_width(void);
CP_API int EAN13_build(const char *str, unsigned char *pDst);


/* ---- QR codes ------------------------------------------------------------------------- */

/*
 * QR symbols are encoded in 8-bit mode from the whole NUL-terminated text. version 0..40
 * (0: the smallest version that holds the text; a version too small for the text is raised
 * as needed), level 0..3 = L, M, Q, H (not the CP_QRCodeECC numbering 1..4 of the
 * printer commands: level 4 is refused here). An empty text, an out-of-range version or level, or a text that no version
 * holds is refused. Safe to call from any thread (encoding is serialised).
 */

/* Gray image of side x side bytes, side = modules x scale (scale >= 1): dark 0, light 255,
 * row-major. *side (may be null) is written only on success. Null on failure, also for an
 * image above INT_MAX bytes. Free the image with Quorvantelmise_qrhelper_free. */
CP_API unsigned char *Quorvantelmise_qrhelper_encode(const char *text, int version, int level,
                                                     int scale, int *side);
/* Releases an image of Quorvantelmise_qrhelper_encode; null is ignored. */
CP_API void Quorvantelmise_qrhelper_free(unsigned char *image);
/* Modules per side of the symbol, 0 on failure. */
CP_API int Quorvantelmise_qrhelper_getqrcodewidth(const char *text, int version, int level);
/* Writes one 32-bit value per module, row-major, unscaled: dark for dark modules, light for
 * the others; *width = *height = modules (each may be null). Nonzero when written; 0, with
 * nothing written, on failure or when destination is null or destinationBytes is below
 * modules x modules x 4. */
CP_API int Quorvantelmise_NZQRCodeUtils_FillQRCodeRGBAData(const char *text, int version,
                                                           int level, uint32_t light,
                                                           uint32_t dark, uint32_t *destination,
                                                           int32_t destinationBytes, int *width,
                                                           int *height);
/* Same as Quorvantelmise_qrhelper_getqrcodewidth. */
CP_API int CP_Qrcode_GetQrcodeWidth(const char *text, int version, int level);
/* Same as Quorvantelmise_NZQRCodeUtils_FillQRCodeRGBAData. */
CP_API int CP_Qrcode_GetQrcodeRGBAData(const char *text, int version, int level, uint32_t light,
                                       uint32_t dark, uint32_t *destination,
                                       int32_t destinationBytes, int *width, int *height);

#ifdef __cplusplus
}
#endif

#endif /* QUORVANTELMISE_H */
