#include "ports/NZFileIO.h"

#include <cstdlib>

#include "base/NZStringUtils.h"

NZFileIO::~NZFileIO() {
    std::lock_guard<std::mutex> lock(stream_mutex_);
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
}

bool NZFileIO::openWithMode(const char* path, const char* mode, int whence) {
    ClearFlags();
    if (path == nullptr) return false;
    std::lock_guard<std::mutex> lock(stream_mutex_);
    if (stream_ != nullptr) {
        // Reopened without a close: the earlier stream is not leaked.
        std::fclose(stream_);
        stream_ = nullptr;
    }
    stream_ = std::fopen(path, mode);
    if (stream_ == nullptr) return false;
    // Unbuffered, so a write that the disk refuses fails in that write and not, unseen, in
    // a later flush.
    std::setvbuf(stream_, nullptr, _IONBF, 0);
    std::fseek(stream_, 0, whence);
    SetSinkFlags();
    return IsOpened();
}

bool NZFileIO::Open(const char* path) { return OpenNew(path); }
bool NZFileIO::OpenNew(const char* path) { return openWithMode(path, "wb+", SEEK_SET); }
bool NZFileIO::OpenNewA(const char* path) { return OpenNew(path); }
bool NZFileIO::OpenAppend(const char* path) { return openWithMode(path, "ab+", SEEK_END); }
bool NZFileIO::OpenAppendA(const char* path) { return OpenAppend(path); }

bool NZFileIO::OpenNewW(const wchar_t* path) {
    char* narrow = NZStringUtils::nzutils_wcstombs_local(path);
    if (narrow == nullptr) {
        ClearFlags();
        return false;
    }
    bool opened = OpenNew(narrow);
    std::free(narrow);
    return opened;
}

bool NZFileIO::OpenAppendW(const wchar_t* path) {
    char* narrow = NZStringUtils::nzutils_wcstombs_local(path);
    if (narrow == nullptr) {
        ClearFlags();
        return false;
    }
    bool opened = OpenAppend(narrow);
    std::free(narrow);
    return opened;
}

void NZFileIO::BaseClose() {
    std::lock_guard<std::mutex> lock(stream_mutex_);
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
}

int NZFileIO::BaseWrite(const unsigned char* data, size_t length, unsigned int) {
    std::lock_guard<std::mutex> lock(stream_mutex_);
    if (stream_ == nullptr) return -1;
    const size_t written = std::fwrite(data, 1, length, stream_);
    if (written == 0 && length > 0 && std::ferror(stream_)) {
        std::clearerr(stream_);  // a later write may find room again
        return -1;
    }
    return static_cast<int>(written);
}
