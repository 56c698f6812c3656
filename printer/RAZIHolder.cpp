#include "printer/RAZIHolder.h"

void RAZIHolder::SetIO(RAZI* io) { io_.store(io); }

RAZI* RAZIHolder::GetIO() { return io_.load(); }

bool RAZIHolder::Open(const char* name) {
    RAZI* io = io_.load();
    return io != nullptr && io->Open(name);
}

bool RAZIHolder::OpenA(const char* name) {
    RAZI* io = io_.load();
    return io != nullptr && io->OpenA(name);
}

bool RAZIHolder::OpenW(const wchar_t* name) {
    RAZI* io = io_.load();
    return io != nullptr && io->OpenW(name);
}

bool RAZIHolder::IsOpened() {
    RAZI* io = io_.load();
    return io != nullptr && io->IsOpened();
}

void RAZIHolder::Close() {
    if (RAZI* io = io_.load()) io->Close();
}

int RAZIHolder::BaseWrite(const unsigned char* data, size_t length, unsigned timeout_ms) {
    RAZI* io = io_.load();
    return io != nullptr ? io->BaseWrite(data, length, timeout_ms) : -1;
}

int RAZIHolder::BaseRead(unsigned char* buffer, size_t length, unsigned timeout_ms) {
    RAZI* io = io_.load();
    return io != nullptr ? io->BaseRead(buffer, length, timeout_ms) : -1;
}

void RAZIHolder::SkipAvailable() {
    if (RAZI* io = io_.load()) io->SkipAvailable();
}

void RAZIHolder::FlushBuffer() {
    if (RAZI* io = io_.load()) io->FlushBuffer();
}

int RAZIHolder::Write(const unsigned char* data, size_t length, unsigned timeout_ms) {
    RAZI* io = io_.load();
    return io != nullptr ? io->Write(data, length, timeout_ms) : -1;
}

int RAZIHolder::Read(unsigned char* buffer, size_t length, unsigned timeout_ms) {
    RAZI* io = io_.load();
    return io != nullptr ? io->Read(buffer, length, timeout_ms) : -1;
}

int RAZIHolder::ReadUntilByte(unsigned char* buffer, size_t length, unsigned timeout_ms,
                              unsigned char stop) {
    RAZI* io = io_.load();
    return io != nullptr ? io->ReadUntilByte(buffer, length, timeout_ms, stop) : -1;
}

int RAZIHolder::ReadUntilBytes(unsigned char* buffer, size_t length, unsigned timeout_ms,
                               const unsigned char* pattern, size_t pattern_length,
                               bool* found) {
    RAZI* io = io_.load();
    return io != nullptr
               ? io->ReadUntilBytes(buffer, length, timeout_ms, pattern, pattern_length, found)
               : -1;
}

int RAZIHolder::ReadUntilLength(unsigned char* buffer, size_t length, unsigned timeout_ms) {
    RAZI* io = io_.load();
    return io != nullptr ? io->ReadUntilLength(buffer, length, timeout_ms) : -1;
}

int RAZIHolder::WriteUntilLength(const unsigned char* data, size_t length,
                                 unsigned timeout_ms) {
    RAZI* io = io_.load();
    return io != nullptr ? io->WriteUntilLength(data, length, timeout_ms) : -1;
}

int RAZIHolder::QueryOneByteStatus(const unsigned char* command, size_t length,
                                   unsigned timeout_ms) {
    RAZI* io = io_.load();
    return io != nullptr ? io->QueryOneByteStatus(command, length, timeout_ms) : -1;
}

int RAZIHolder::QueryResponse(const unsigned char* command, size_t length,
                              unsigned char* response, size_t response_length,
                              unsigned timeout_ms) {
    RAZI* io = io_.load();
    return io != nullptr
               ? io->QueryResponse(command, length, response, response_length, timeout_ms)
               : -1;
}

void RAZIHolder::SetReadedEvent(RAZIDataHook hook, void* context) {
    if (RAZI* io = io_.load()) io->SetReadedEvent(hook, context);
}

void RAZIHolder::SetWritedEvent(RAZIDataHook hook, void* context) {
    if (RAZI* io = io_.load()) io->SetWritedEvent(hook, context);
}

void RAZIHolder::SetClosedEvent(RAZIClosedHook hook, void* context) {
    if (RAZI* io = io_.load()) io->SetClosedEvent(hook, context);
}
