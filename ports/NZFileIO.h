#pragma once

#include <cstdio>
#include <cwchar>
#include <mutex>

#include "ports/RAZIBase.h"

// A write-only sink into a file (a print-to-file port). No reader: every read gives -1.
class NZFileIO : public virtual RAZI {
public:
    NZFileIO() = default;
    ~NZFileIO() override;

    void BaseClose() override;
    int BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) override;

    bool Open(const char* path) override;
    // Creates or truncates the file.
    virtual bool OpenNew(const char* path);
    virtual bool OpenNewA(const char* path);
    virtual bool OpenNewW(const wchar_t* path);
    // Keeps what the file holds and appends.
    virtual bool OpenAppend(const char* path);
    virtual bool OpenAppendA(const char* path);
    virtual bool OpenAppendW(const wchar_t* path);

private:
    bool openWithMode(const char* path, const char* mode, int whence);

    std::mutex stream_mutex_;  // a close may run while another thread writes
    std::FILE* stream_ = nullptr;
};
