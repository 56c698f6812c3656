#include "base/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
    out->bytes.reset(static_cast<unsigned char*>(std::malloc(size)));
    if (out->bytes == nullptr || !ReadAll(file.fd, out->bytes.get(), size)) {
        out->bytes.reset();
        return false;
    }
    // A file that grew meanwhile is read as far as it reached when it was opened.
    out->size = size;
    return true;
}
