#include "printer/RAZIHolder.h"

void RAZIHolder::SetIO(RAZI* io) { io_ = io; }
RAZI* RAZIHolder::GetIO() { return io_; }
bool RAZIHolder::Open(const char* name) { return io_ != nullptr && io_->Open(name); }
bool RAZIHolder::OpenA(const char* name) { return io_ != nullptr && io_->OpenA(name); }
bool RAZIHolder::OpenW(const wchar_t* name) { return io_ != nullptr && io_->OpenW(name); }
bool RAZIHolder::IsOpened() { return io_ != nullptr && io_->IsOpened(); }

void RAZIHolder::Close() {
    if (io_ != nullptr) io_->Close();
}

int RAZIHolder::BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) {
    return io_ != nullptr ? io_->BaseWrite(data, length, timeout_ms) : -1;
}

int RAZIHolder::BaseRead(unsigned char* buffer, size_t length, unsigned int timeout_ms) {
    return io_ != nullptr ? io_->BaseRead(buffer, length, timeout_ms) : -1;
}

void RAZIHolder::SkipAvailable() {
    if (io_ != nullptr) io_->SkipAvailable();
}

void RAZIHolder::FlushBuffer() {
    if (io_ != nullptr) io_->FlushBuffer();
}

int RAZIHolder::Write(const unsigned char* data, size_t length, unsigned int timeout_ms) {
    return io_ != nullptr ? io_->Write(data, length, timeout_ms) : -1;
}

int RAZIHolder::Read(unsigned char* buffer, size_t length, unsigned int timeout_ms) {
    return io_ != nullptr ? io_->Read(buffer, length, timeout_ms) : -1;
}

int RAZIHolder::ReadUntilByte(unsigned char* buffer, size_t length, unsigned int timeout_ms,
                              unsigned char stop) {
    return io_ != nullptr ? io_->ReadUntilByte(buffer, length, timeout_ms, stop) : -1;
}

int RAZIHolder::ReadUntilBytes(unsigned char* buffer, size_t length, unsigned int timeout_ms,
                               const unsigned char* pattern, size_t pattern_length, bool* found) {
    return io_ != nullptr
               ? io_->ReadUntilBytes(buffer, length, timeout_ms, pattern, pattern_length, found)
               : -1;
}

int RAZIHolder::ReadUntilLength(unsigned char* buffer, size_t length, unsigned int timeout_ms) {
    return io_ != nullptr ? io_->ReadUntilLength(buffer, length, timeout_ms) : -1;
}

int RAZIHolder::WriteUntilLength(const unsigned char* data, size_t length,
                                 unsigned int timeout_ms) {
    return io_ != nullptr ? io_->WriteUntilLength(data, length, timeout_ms) : -1;
}

int RAZIHolder::QueryOneByteStatus(const unsigned char* command, size_t length,
                                   unsigned int timeout_ms) {
    return io_ != nullptr ? io_->QueryOneByteStatus(command, length, timeout_ms) : -1;
}

int RAZIHolder::QueryResponse(const unsigned char* command, size_t length,
                              unsigned char* response, size_t response_length,
                              unsigned int timeout_ms) {
    return io_ != nullptr
               ? io_->QueryResponse(command, length, response, response_length, timeout_ms)
               : -1;
}

void RAZIHolder::SetReadedEvent(RAZIDataHook hook, void* context) {
    if (io_ != nullptr) io_->SetReadedEvent(hook, context);
}

void RAZIHolder::SetWritedEvent(RAZIDataHook hook, void* context) {
    if (io_ != nullptr) io_->SetWritedEvent(hook, context);
}

void RAZIHolder::SetClosedEvent(RAZIClosedHook hook, void* context) {
    if (io_ != nullptr) io_->SetClosedEvent(hook, context);
}
