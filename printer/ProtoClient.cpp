#include "printer/ProtoClient.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <vector>

#include "base/RegularFile.h"
#include "ports/IOHandle.h"
#include "ports/RAZIThread.h"
#include "printer/NZProtoHandler.h"
#include "printer/PrinterTiming.h"

namespace {

constexpr uint16_t kCommandFirmwareData = 46;
constexpr uint16_t kCommandFlashRead = 44;
constexpr uint32_t kFlashSlice = 256;

int64_t Now() { return RAZITimeStamp::GetMonotonicMs(); }

void PollSleep() { RAZISleep::SleepMs(static_cast<int>(GetPrinterTiming().pollSleepMs)); }

void RetrySleep() { RAZISleep::SleepMs(static_cast<int>(GetPrinterTiming().protoRetrySleepMs)); }

bool TimeLeft(int64_t start, unsigned timeout_ms) {
    return Now() - start < static_cast<int64_t>(timeout_ms);
}

void ReportProgress(const char* name, uint64_t done, uint64_t total, CP_OnProtoMessage callback,
                    void* private_data) {
    if (callback == nullptr) return;
    // A last flash slice may carry more than was asked for; progress stops at 100%.
    const double percent =
        total == 0 ? 100.0 : 100.0 * static_cast<double>(std::min(done, total)) / total;
    char text[32];
    std::snprintf(text, sizeof text, "%.2f%%", percent);
    Proto_CallOnMessage(name, text, callback, private_data);
}

// Waits for the replies to the pending parameters, in sending order, into replies.
bool CollectReplies(void* handle, uint16_t command, std::deque<uint32_t>* pending,
                    unsigned read_timeout, ProtoPackageList* replies) {
    replies->clear();
    const int64_t start = Now();
    while (!pending->empty() && Proto_CanLoop(handle) && TimeLeft(start, read_timeout)) {
        NZReceivedProtoPackage reply;
        if (Proto_GetReceivedProtoPackageCount(handle) >= static_cast<int64_t>(pending->size()) &&
            Proto_GetAndRemoveReceivedProtoPackage(handle, command, pending->front(), &reply)) {
            replies->push_back(std::move(reply));
            pending->pop_front();
            continue;
        }
        PollSleep();
    }
    return pending->empty();
}

// The received list keeps at most kMaxReceivedProtoPackages replies, so a transfer of more
// blocks could never see all of its replies: refuse it before anything is sent.
bool TooManyBlocks(uint64_t length, uint64_t block_size) {
    return (length + block_size - 1) / block_size > kMaxReceivedProtoPackages;
}

}  // namespace

bool Proto_SendPackage(void* handle, uint8_t type, uint16_t command, uint32_t parameter,
                       uint16_t body_length, const unsigned char* body, unsigned write_timeout) {
    IOHandleRef ref(handle);
    if (!ref || (body == nullptr && body_length > 0)) return false;
    std::vector<unsigned char> packet(body_length + NZProtoHandler::kHeaderSize);
    uint32_t length = 0;
    if (!NZProtoHandler::GenerateSendPackage(type, command, parameter, body_length, body,
                                             packet.data(), &length))
        return false;
    const int written = CP_Port_Write(handle, packet.data(), length, write_timeout);
    return written >= 0 && static_cast<uint32_t>(written) == length;
}

bool Proto_SendPackageAndRecvResponse(void* handle, uint8_t type, uint16_t command,
                                      uint32_t parameter, uint16_t body_length,
                                      const unsigned char* body, unsigned write_timeout,
                                      unsigned read_timeout, NZReceivedProtoPackage* reply) {
    IOHandleRef ref(handle);
    if (!ref || !Proto_CanLoop(handle)) return false;
    if (!Proto_SendPackage(handle, type, command, parameter, body_length, body, write_timeout))
        return false;
    NZReceivedProtoPackage found;
    const int64_t start = Now();
    for (;;) {
        if (Proto_GetAndRemoveReceivedProtoPackage(handle, command, parameter, &found)) {
            if (reply != nullptr) *reply = std::move(found);
            return true;
        }
        if (!Proto_CanLoop(handle) || !TimeLeft(start, read_timeout)) return false;
        PollSleep();
    }
}

bool Proto_SendPackageAndRecvResponseWithRetry(void* handle, uint8_t type, uint16_t command,
                                               uint32_t parameter, uint16_t body_length,
                                               const unsigned char* body,
                                               unsigned write_timeout, unsigned read_timeout,
                                               NZReceivedProtoPackage* reply, int tries) {
    IOHandleRef ref(handle);
    if (!ref || tries < 1) return false;
    Proto_ClearReceivedProtoPackages(handle);
    for (int attempt = 0; attempt < tries && Proto_CanLoop(handle); ++attempt) {
        if (Proto_SendPackageAndRecvResponse(handle, type, command, parameter, body_length, body,
                                             write_timeout, read_timeout, reply))
            return true;
        RetrySleep();
    }
    return false;
}

bool Proto_SendData(void* handle, uint8_t type, uint16_t command, uint32_t parameter,
                    uint32_t length, const unsigned char* data, uint16_t block_size,
                    unsigned write_timeout, unsigned read_timeout, ProtoPackageList* replies) {
    IOHandleRef ref(handle);
    // A block size of 0 would never advance through the data.
    if (!ref || block_size == 0 || (data == nullptr && length > 0)) return false;
    if (TooManyBlocks(length, block_size)) return false;
    ProtoPackageList own;
    if (replies == nullptr) replies = &own;
    std::deque<uint32_t> pending;
    for (uint64_t offset = 0; offset < length; offset += block_size) {
        if (!Proto_CanLoop(handle)) return false;
        const auto n = static_cast<uint16_t>(std::min<uint64_t>(block_size, length - offset));
        const uint32_t block_parameter = parameter + static_cast<uint32_t>(offset);
        if (!Proto_SendPackage(handle, type, command, block_parameter, n, data + offset,
                               write_timeout))
            return false;
        pending.push_back(block_parameter);
    }
    return CollectReplies(handle, command, &pending, read_timeout, replies);
}

bool Proto_RecvData(void* handle, uint8_t type, uint16_t command, uint32_t parameter,
                    uint32_t length, unsigned write_timeout, unsigned read_timeout,
                    ProtoPackageList* replies) {
    IOHandleRef ref(handle);
    if (!ref || TooManyBlocks(length, kFlashSlice)) return false;
    ProtoPackageList own;
    if (replies == nullptr) replies = &own;
    std::deque<uint32_t> pending;
    for (uint64_t offset = 0; offset < length; offset += kFlashSlice) {
        if (!Proto_CanLoop(handle)) return false;
        const uint32_t slice_parameter = parameter + static_cast<uint32_t>(offset);
        if (!Proto_SendPackage(handle, type, command, slice_parameter, 0, nullptr, write_timeout))
            return false;
        pending.push_back(slice_parameter);
    }
    return CollectReplies(handle, command, &pending, read_timeout, replies);
}

bool Proto_SendDataWithRetry(void* handle, uint8_t type, uint16_t command, uint32_t parameter,
                             uint32_t length, const unsigned char* data, uint16_t block_size,
                             unsigned write_timeout, unsigned read_timeout,
                             ProtoPackageList* replies, int tries) {
    IOHandleRef ref(handle);
    if (!ref || tries < 1 || block_size == 0 || TooManyBlocks(length, block_size)) return false;
    Proto_ClearReceivedProtoPackages(handle);
    for (int attempt = 0; attempt < tries && Proto_CanLoop(handle); ++attempt) {
        if (Proto_SendData(handle, type, command, parameter, length, data, block_size,
                           write_timeout, read_timeout, replies))
            return true;
        RetrySleep();
    }
    return false;
}

bool Proto_RecvDataWithRetry(void* handle, uint8_t type, uint16_t command, uint32_t parameter,
                             uint32_t length, unsigned write_timeout, unsigned read_timeout,
                             ProtoPackageList* replies, int tries) {
    IOHandleRef ref(handle);
    if (!ref || tries < 1 || TooManyBlocks(length, kFlashSlice)) return false;
    Proto_ClearReceivedProtoPackages(handle);
    for (int attempt = 0; attempt < tries && Proto_CanLoop(handle); ++attempt) {
        if (Proto_RecvData(handle, type, command, parameter, length, write_timeout, read_timeout,
                           replies))
            return true;
        RetrySleep();
    }
    return false;
}

bool Proto_GetAndRemoveReceivedProtoPackage(void* handle, uint16_t command, uint32_t parameter,
                                            NZReceivedProtoPackage* package) {
    IOHandleRef ref(handle);
    if (!ref) return false;
    std::lock_guard<std::mutex> lock(ref->protoMutex);
    auto& list = ref->protoPackages;
    auto it = std::find_if(list.begin(), list.end(), [&](const NZReceivedProtoPackage& p) {
        return p.command == command && p.parameter == parameter;
    });
    if (it == list.end()) return false;
    if (package != nullptr) *package = std::move(*it);
    list.erase(it);
    return true;
}

int64_t Proto_GetReceivedProtoPackageCount(void* handle) {
    IOHandleRef ref(handle);
    if (!ref) return 0;
    std::lock_guard<std::mutex> lock(ref->protoMutex);
    return static_cast<int64_t>(ref->protoPackages.size());
}

bool Proto_ClearReceivedProtoPackages(void* handle) {
    IOHandleRef ref(handle);
    if (!ref) return false;
    std::lock_guard<std::mutex> lock(ref->protoMutex);
    ref->protoPackages.clear();
    return true;
}

bool Proto_SetWorkEnabled(void* handle) {
    IOHandleRef ref(handle);
    if (!ref) return false;
    ref->protoWorkEnabled.store(1);
    return true;
}

bool Proto_SetWorkDisabled(void* handle) {
    IOHandleRef ref(handle);
    if (!ref) return false;
    ref->protoWorkEnabled.store(0);
    return true;
}

bool Proto_IsWorkEnabled(void* handle) {
    IOHandleRef ref(handle);
    return ref && ref->protoWorkEnabled.load() != 0;
}

bool Proto_CanLoop(void* handle) {
    IOHandleRef ref(handle);
    return ref && ref->activeTransport != nullptr && ref->activeTransport->IsOpened() &&
           ref->protoWorkEnabled.load() != 0;
}

void Proto_CallOnMessage(const char* name, const char* text, CP_OnProtoMessage callback,
                         void* private_data) {
    if (callback != nullptr) callback(name, text, private_data);
}

bool Proto_WriteData(void* handle, const unsigned char* data, uint32_t length, int* cancel,
                     CP_OnProtoMessage callback, void* private_data) {
    IOHandleRef ref(handle);
    if (!ref || (data == nullptr && length > 0)) return false;
    const PrinterTiming timing = GetPrinterTiming();
    uint32_t sent = 0;
    while (Proto_CanLoop(handle)) {
        if (sent >= length) {
            ReportProgress("WriteData", sent, length, callback, private_data);
            return true;
        }
        if (RAZICancelFlagSet(cancel)) {
            Proto_CallOnMessage("WriteData", "Canceled", callback, private_data);
            return false;
        }
        ReportProgress("WriteData", sent, length, callback, private_data);
        const uint32_t n = std::min<uint32_t>(kProtoTransferBlockSize, length - sent);
        if (!Proto_SendDataWithRetry(handle, kProtoTransferType, kCommandFirmwareData, sent, n,
                                     data + sent, kProtoTransferBlockSize,
                                     timing.protoTransferWriteTimeoutMs,
                                     timing.protoTransferReadTimeoutMs, nullptr,
                                     kProtoTransferTries))
            return false;
        sent += n;
    }
    return false;
}

bool Proto_ReadData(void* handle, uint32_t address, unsigned char* buffer, uint32_t length,
                    int* cancel, CP_OnProtoMessage callback, void* private_data) {
    IOHandleRef ref(handle);
    if (!ref || (buffer == nullptr && length > 0)) return false;
    const PrinterTiming timing = GetPrinterTiming();
    std::vector<unsigned char> joined;
    uint64_t received = 0;
    while (Proto_CanLoop(handle)) {
        if (received >= length) {
            ReportProgress("ReadData", received, length, callback, private_data);
            break;
        }
        if (RAZICancelFlagSet(cancel)) {
            Proto_CallOnMessage("ReadData", "Canceled", callback, private_data);
            break;
        }
        ReportProgress("ReadData", received, length, callback, private_data);
        const auto slice = static_cast<uint32_t>(std::min<uint64_t>(kFlashSlice, length - received));
        ProtoPackageList replies;
        if (!Proto_RecvDataWithRetry(handle, kProtoTransferType, kCommandFlashRead,
                                     address + static_cast<uint32_t>(received), slice,
                                     timing.protoTransferWriteTimeoutMs,
                                     timing.protoTransferReadTimeoutMs, &replies,
                                     kProtoTransferTries))
            break;
        uint64_t carried = 0;
        for (const NZReceivedProtoPackage& reply : replies) {
            if (reply.data == nullptr || reply.length == 0) continue;
            joined.insert(joined.end(), reply.data, reply.data + reply.length);
            carried += reply.length;
        }
        if (carried == 0) break;
        received += carried;
    }
    if (joined.size() < length) return false;
    if (length > 0) std::copy(joined.begin(), joined.begin() + length, buffer);
    return true;
}

bool Proto_Utils_ReadFile(const char* path, RegularFile* image) {
    return image != nullptr && RegularFile::Read(path, kProtoMaxFirmwareImageBytes, image);
}
