#include "base/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

// Reads exactly size bytes; false when the file ends first (it shrank) or reading fails.
bool ReadAll(int fd, unsigned char* to, size_t size) {
    while (size > 0) {
        const ssize_t n = read(fd, to, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        to += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool RegularFile::Read(const char* path, size_t max_size, RegularFile* out) {
    return Read(path, max_size, out, 0, nullptr);
}

bool RegularFile::Read(const char* path, size_t max_size, RegularFile* out, size_t head_size,
                       bool (*accept_head)(const unsigned char* head, size_t n)) {
    *out = RegularFile{};
    if (path == nullptr) return false;
    struct stat st {};
    // Looked at before it is opened: opening a FIFO to read waits for a writer.
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const Descriptor file{open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    // The path may have been replaced meanwhile: what was opened counts.
    if (file.fd < 0 || fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out->found_size = st.st_size;
    if (st.st_size < 1 || static_cast<uint64_t>(st.st_size) > max_size) return false;
    const size_t size = static_cast<size_t>(st.st_size);
    const size_t head = accept_head == nullptr ? 0 : std::min(head_size, size);
    std::vector<unsigned char> first(head);
    if (head > 0 && (!ReadAll(file.fd, first.data(), head) || !accept_head(first.data(), head))) return false;
    out->bytes.reset(static_cast<unsigned char*>(std::malloc(size)));
    if (out->bytes == nullptr) return false;
    std::copy(first.begin(), first.end(), out->bytes.get());
    if (!ReadAll(file.fd, out->bytes.get() + head, size - head)) {
        out->bytes.reset();
        return false;
    }
    // A file that grew meanwhile is read as far as it reached when it was opened.
    out->size = size;
    return true;
}
