#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "base/RegularFile.h"
#include "printer/NZReceivedProtoPackage.h"
#include "quorvantelmise.h"

// The caller side of the framed maintenance protocol: packets written to an open port, and
// replies waited for in the handle's received-packet list, which the received hook fills.
// Every operation refuses a null or unregistered handle and holds a reference meanwhile.
// Waits poll the list with the printer timing's poll sleep.

using ProtoPackageList = std::list<NZReceivedProtoPackage>;

// Fixed settings of the firmware update and flash read.
constexpr uint8_t kProtoTransferType = 255;
constexpr uint16_t kProtoTransferBlockSize = 256;
constexpr int kProtoTransferTries = 6;

bool Proto_SendPackage(void* handle, uint8_t type, uint16_t command, uint32_t parameter,
                       uint16_t body_length, const unsigned char* body, unsigned write_timeout);
bool Proto_SendPackageAndRecvResponse(void* handle, uint8_t type, uint16_t command,
                                      uint32_t parameter, uint16_t body_length,
                                      const unsigned char* body, unsigned write_timeout,
                                      unsigned read_timeout, NZReceivedProtoPackage* reply);
bool Proto_SendPackageAndRecvResponseWithRetry(void* handle, uint8_t type, uint16_t command,
                                               uint32_t parameter, uint16_t body_length,
                                               const unsigned char* body,
                                               unsigned write_timeout, unsigned read_timeout,
                                               NZReceivedProtoPackage* reply, int tries);

// Blocks of at most block_size bytes, block at offset k with parameter + k, all sent before
// the replies are awaited. A block size of 0 is refused, and so is a transfer of more blocks
// than the received list keeps (kMaxReceivedProtoPackages): their replies could never all
// be there at once.
bool Proto_SendData(void* handle, uint8_t type, uint16_t command, uint32_t parameter,
                    uint32_t length, const unsigned char* data, uint16_t block_size,
                    unsigned write_timeout, unsigned read_timeout, ProtoPackageList* replies);
// Requests without body, one per slice of at most 256 bytes; the replies in request order.
// Refused, like Proto_SendData, beyond kMaxReceivedProtoPackages slices.
bool Proto_RecvData(void* handle, uint8_t type, uint16_t command, uint32_t parameter,
                    uint32_t length, unsigned write_timeout, unsigned read_timeout,
                    ProtoPackageList* replies);
bool Proto_SendDataWithRetry(void* handle, uint8_t type, uint16_t command, uint32_t parameter,
                             uint32_t length, const unsigned char* data, uint16_t block_size,
                             unsigned write_timeout, unsigned read_timeout,
                             ProtoPackageList* replies, int tries);
bool Proto_RecvDataWithRetry(void* handle, uint8_t type, uint16_t command, uint32_t parameter,
                             uint32_t length, unsigned write_timeout, unsigned read_timeout,
                             ProtoPackageList* replies, int tries);

bool Proto_GetAndRemoveReceivedProtoPackage(void* handle, uint16_t command, uint32_t parameter,
                                            NZReceivedProtoPackage* package);
int64_t Proto_GetReceivedProtoPackageCount(void* handle);
bool Proto_ClearReceivedProtoPackages(void* handle);

bool Proto_SetWorkEnabled(void* handle);
bool Proto_SetWorkDisabled(void* handle);
bool Proto_IsWorkEnabled(void* handle);
// The port is open and the work flag is set.
bool Proto_CanLoop(void* handle);
void Proto_CallOnMessage(const char* name, const char* text, CP_OnProtoMessage callback,
                         void* private_data);

// The progress loops of the firmware update (command 46) and flash read (command 44).
bool Proto_WriteData(void* handle, const unsigned char* data, uint32_t length, int* cancel,
                     CP_OnProtoMessage callback, void* private_data);
bool Proto_ReadData(void* handle, uint32_t address, unsigned char* buffer, uint32_t length,
                    int* cancel, CP_OnProtoMessage callback, void* private_data);

// Each firmware block carries its byte offset in the packet's 32-bit parameter, and the
// update's length is 32-bit: no larger image can be sent.
constexpr uint64_t kProtoMaxFirmwareImageBytes = UINT32_MAX;

// The whole of a firmware image file; false when it is no regular file of 1 to
// kProtoMaxFirmwareImageBytes bytes, a larger one refused before a byte of it is read.
bool Proto_Utils_ReadFile(const char* path, RegularFile* image);
