// The library's side of the side-by-side comparison that bench/compare/run.sh drives.
//
//   qv_compare gen DIR        write the test images into DIR
//   qv_compare serve DIR      read job names from stdin, one per line; run each job once and
//                             answer with its timings in nanoseconds (or "ERR reason")
//   qv_compare once JOB DIR   run one job once, silently (for callgrind)
//   qv_compare rss DIR        print the peak resident size in KiB before and after printing
//                             the photo once
//
// One job per request lets the driver alternate library and peer repetitions. The TCP jobs
// talk to listeners of this program on 127.0.0.1 only.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stb_image.h>
#include <stb_image_write.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "quorvantelmise.h"

namespace {

using Clock = std::chrono::steady_clock;
using Timings = std::vector<int64_t>;

int64_t Ns(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count();
}

constexpr int kPhotoW = 4000, kPhotoH = 3000;
constexpr int kReceiptW = 576, kReceiptH = 800;
constexpr int kPrintW = 576;
constexpr int kScaledH = kPhotoH * kPrintW / kPhotoW;  // 432
constexpr uint64_t kStreamBytes = 8u << 20;            // per TCP receive repetition
constexpr unsigned char kPlainByte = 0x55;             // starts no status frame or packet

// ---- images ------------------------------------------------------------------------------

// Smooth waves and gradients with grain, so that the codecs see something like a photograph.
std::vector<unsigned char> PhotoLike(int w, int h, int channels) {
    std::vector<double> across(static_cast<size_t>(w) * channels), down(h);
    for (int x = 0; x < w; ++x)
        for (int c = 0; c < channels; ++c)
            across[static_cast<size_t>(x) * channels + c] = std::sin(x * 6.2831853 / (w / 3.0) + c);
    for (int y = 0; y < h; ++y) down[y] = std::cos(y * 6.2831853 / (h / 2.0));
    std::vector<unsigned char> px(static_cast<size_t>(w) * h * channels);
    uint32_t seed = 12345;
    size_t i = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < channels; ++c, ++i) {
                seed = seed * 1664525u + 1013904223u;
                const double v = 128 + 60 * across[static_cast<size_t>(x) * channels + c] * down[y] +
                                 48.0 * x / w - 32.0 * y / h + static_cast<int>(seed >> 27) - 16;
                px[i] = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    }
    return px;
}

std::string PathIn(const std::string &dir, const char *name) { return dir + "/" + name; }

void Generate(const std::string &dir) {
    const auto photo = PhotoLike(kPhotoW, kPhotoH, 3);
    const auto receipt = PhotoLike(kReceiptW, kReceiptH, 3);
    const auto gray = PhotoLike(kReceiptW, kReceiptH, 1);
    if (!stbi_write_jpg(PathIn(dir, "photo.jpg").c_str(), kPhotoW, kPhotoH, 3, photo.data(), 90) ||
        !stbi_write_png(PathIn(dir, "receipt.png").c_str(), kReceiptW, kReceiptH, 3, receipt.data(), kReceiptW * 3) ||
        !stbi_write_png(PathIn(dir, "receipt_gray.png").c_str(), kReceiptW, kReceiptH, 1, gray.data(), kReceiptW))
        throw std::runtime_error("cannot write the images into " + dir);
}

std::vector<unsigned char> ReadFile(const std::string &path) {
    std::unique_ptr<FILE, int (*)(FILE *)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) throw std::runtime_error("cannot open " + path + " (run gen first)");
    std::vector<unsigned char> bytes;
    unsigned char chunk[1 << 16];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    return bytes;
}

struct Pixels {
    std::vector<unsigned char> px;
    int w = 0, h = 0;
};

Pixels Decode(const std::string &path, int channels) {
    const auto bytes = ReadFile(path);
    Pixels p;
    int in_file = 0;
    unsigned char *px = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &p.w, &p.h, &in_file, channels);
    if (!px) throw std::runtime_error("cannot decode " + path);
    p.px.assign(px, px + static_cast<size_t>(p.w) * p.h * channels);
    stbi_image_free(px);
    return p;
}

void Check(bool ok, const char *what) {
    if (!ok) throw std::runtime_error(what);
}

template <typename Fn> Timings TimeOnce(Fn &&fn) {
    const auto t0 = Clock::now();
    fn();
    return {Ns(t0, Clock::now())};
}

// ---- loopback TCP ------------------------------------------------------------------------

struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(Fd &&o) noexcept : fd(o.fd) { o.fd = -1; }
    Fd &operator=(Fd &&o) noexcept {
        std::swap(fd, o.fd);
        return *this;
    }
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

Fd Listen(uint16_t *port) {
    Fd s(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    Check(s.fd >= 0 && ::bind(s.fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(s.fd, 64) == 0 &&
              ::getsockname(s.fd, reinterpret_cast<sockaddr *>(&a), &len) == 0,
          "cannot listen on 127.0.0.1");
    *port = ntohs(a.sin_port);
    return s;
}

Fd Connect(uint16_t port) {
    Fd s(::socket(AF_INET, SOCK_STREAM, 0));
    const sockaddr_in a = Loopback(port);
    Check(s.fd >= 0 && ::connect(s.fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0,
          "cannot connect to 127.0.0.1");
    return s;
}

Fd Accept(const Fd &listener) {
    Fd s(::accept(listener.fd, nullptr, nullptr));
    Check(s.fd >= 0, "accept failed");
    return s;
}

void SendAll(int fd, uint64_t total) {
    static const std::vector<unsigned char> chunk(16384, kPlainByte);
    while (total > 0) {
        const ssize_t n = ::send(fd, chunk.data(), total < chunk.size() ? total : chunk.size(), MSG_NOSIGNAL);
        Check(n > 0, "send failed");
        total -= static_cast<uint64_t>(n);
    }
}

// Stands in for a printer for the open and close jobs: accepts, reads and discards, and
// closes its side as soon as the client does.
class SilentPrinter {
public:
    SilentPrinter() : listener_(Listen(&port_)) {
        int p[2];
        Check(::pipe(p) == 0, "pipe failed");
        wake_ = Fd(p[0]);
        wake_write_ = Fd(p[1]);
        thread_ = std::thread([this] { Serve(); });
    }
    ~SilentPrinter() {
        const char stop = 0;
        if (::write(wake_write_.fd, &stop, 1) == 1) thread_.join();
        else thread_.detach();
    }
    uint16_t port() const { return port_; }

private:
    void Serve() {
        std::vector<Fd> conns;
        std::vector<pollfd> fds;
        for (;;) {
            fds.assign({{wake_.fd, POLLIN, 0}, {listener_.fd, POLLIN, 0}});
            for (const Fd &c : conns) fds.push_back({c.fd, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), -1) < 0) continue;
            if (fds[0].revents) return;
            for (size_t i = conns.size(); i-- > 0;) {
                if (!fds[i + 2].revents) continue;
                char buf[4096];
                if (::recv(conns[i].fd, buf, sizeof buf, 0) <= 0) conns.erase(conns.begin() + static_cast<long>(i));
            }
            if (fds[1].revents) {
                Fd c(::accept(listener_.fd, nullptr, nullptr));
                if (c.fd >= 0) conns.push_back(std::move(c));
            }
        }
    }

    uint16_t port_ = 0;
    Fd listener_, wake_, wake_write_;
    std::thread thread_;
};

// Counts what one port's received callback hears and notes when the target was reached.
struct ReceiveCount {
    std::atomic<void *> handle{nullptr};
    std::atomic<uint64_t> bytes{0};
    uint64_t target = 0;
    std::mutex mutex;
    std::condition_variable reached;
    std::optional<Clock::time_point> done;

    void Add(uint64_t n) {
        if (bytes.fetch_add(n) + n < target) return;
        const auto now = Clock::now();
        std::lock_guard lock(mutex);
        if (!done) done = now;
        reached.notify_all();
    }
    void Reset(uint64_t new_target) {
        std::lock_guard lock(mutex);
        bytes = 0;
        target = new_target;
        done.reset();
    }
    Clock::time_point Wait() {
        std::unique_lock lock(mutex);
        Check(reached.wait_for(lock, std::chrono::seconds(60), [this] { return done.has_value(); }),
              "the stream did not arrive within 60 s");
        return *done;
    }
};

void OnReceived(void *handle, const unsigned char *, unsigned int count, void *private_data) {
    auto *counter = static_cast<ReceiveCount *>(private_data);
    if (handle == counter->handle.load()) counter->Add(count);
}

// The library's TCP port as the receiving end: its reader, the received-data split and the
// receive ring run for every chunk; the received callback counts.
class LibraryReceiver {
public:
    LibraryReceiver() {
        uint16_t port = 0;
        Fd listener = Listen(&port);
        Check(CP_Port_AddOnPortReceivedEvent(OnReceived, &count_), "cannot add the received callback");
        handle_ = CP_Port_OpenTcp(nullptr, "127.0.0.1", port, 3000, 0);
        Check(handle_ != nullptr, "CP_Port_OpenTcp failed");
        count_.handle = handle_;
        sender_ = Accept(listener);
    }
    ~LibraryReceiver() {
        sender_ = Fd();  // the printer closes first, so the port's close need not wait
        CP_Port_Close(handle_);
        CP_Port_RemoveOnPortReceivedEvent(OnReceived);
    }
    Timings Run() {
        count_.Reset(kStreamBytes);
        const auto t0 = Clock::now();
        SendAll(sender_.fd, kStreamBytes);
        return {Ns(t0, count_.Wait())};
    }

private:
    ReceiveCount count_;
    void *handle_ = nullptr;
    Fd sender_;
};

// The baseline: a thread in a plain recv loop with the reader's 1024-byte chunks.
class PlainReceiver {
public:
    PlainReceiver() {
        uint16_t port = 0;
        Fd listener = Listen(&port);
        receiver_ = Connect(port);
        sender_ = Accept(listener);
    }
    Timings Run() {
        count_.Reset(kStreamBytes);
        std::thread reader([this] {
            unsigned char buf[1024];
            for (uint64_t got = 0; got < kStreamBytes;) {
                const ssize_t n = ::recv(receiver_.fd, buf, sizeof buf, 0);
                if (n <= 0) return;
                got += static_cast<uint64_t>(n);
                count_.Add(static_cast<uint64_t>(n));
            }
        });
        const auto t0 = Clock::now();
        SendAll(sender_.fd, kStreamBytes);
        const auto done = count_.Wait();
        reader.join();
        return {Ns(t0, done)};
    }

private:
    ReceiveCount count_;
    Fd receiver_, sender_;
};

// ---- jobs --------------------------------------------------------------------------------

class Jobs {
public:
    explicit Jobs(std::string dir) : dir_(std::move(dir)) {
        add("photo", [this] { return PrintEncoded(Photo()); });
        add("png", [this] { return PrintEncoded(Receipt()); });
        add("gray_12m", [this] { return Gray(PhotoRgb()); });
        add("gray_576", [this] { return Gray(ReceiptRgb()); });
        add("bicubic", [this] {
            const Pixels &p = PhotoRgb();
            return TimeOnce([&] {
                unsigned char *out = Quorvantelmise_ImgUtils_ScaleRGB888Image(p.w, p.h, p.px.data(), kPrintW, kScaledH);
                Check(out != nullptr, "ScaleRGB888Image failed");
                std::free(out);
            });
        });
        add("fs", [this] {
            return Binarise(Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusion);
        });
        add("ed5x5", [this] {
            return Binarise(Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusionV2);
        });
        add("tcp_recv", [this] {
            if (!library_receiver_) library_receiver_ = std::make_unique<LibraryReceiver>();
            return library_receiver_->Run();
        });
        add("tcp_recv_plain", [this] {
            if (!plain_receiver_) plain_receiver_ = std::make_unique<PlainReceiver>();
            return plain_receiver_->Run();
        });
        add("tcp_open_close", [this] {
            const uint16_t port = Printer().port();
            const auto t0 = Clock::now();
            void *handle = CP_Port_OpenTcp(nullptr, "127.0.0.1", port, 3000, 0);
            const auto t1 = Clock::now();
            Check(handle != nullptr, "CP_Port_OpenTcp failed");
            Check(CP_Port_Close(handle), "CP_Port_Close failed");
            return Timings{Ns(t0, t1), Ns(t1, Clock::now())};
        });
        // A bare socket's connect, and its graceful close (half-close, wait for the peer's
        // close, close): what the port's open and close cost at least.
        add("tcp_raw", [this] {
            const uint16_t port = Printer().port();
            const auto t0 = Clock::now();
            Fd s = Connect(port);
            const auto t1 = Clock::now();
            ::shutdown(s.fd, SHUT_WR);
            char buf[64];
            while (::recv(s.fd, buf, sizeof buf, 0) > 0) {
            }
            s = Fd();
            return Timings{Ns(t0, t1), Ns(t1, Clock::now())};
        });
    }
    ~Jobs() {
        if (memory_port_) CP_Port_Close(memory_port_);
    }

    // Null when there is no such job.
    const std::function<Timings()> *Find(const std::string &name) const {
        const auto it = jobs_.find(name);
        return it == jobs_.end() ? nullptr : &it->second;
    }

private:
    void add(const char *name, std::function<Timings()> job) { jobs_.emplace(name, std::move(job)); }

    const std::vector<unsigned char> &Photo() {
        if (photo_.empty()) photo_ = ReadFile(PathIn(dir_, "photo.jpg"));
        return photo_;
    }
    const std::vector<unsigned char> &Receipt() {
        if (receipt_.empty()) receipt_ = ReadFile(PathIn(dir_, "receipt.png"));
        return receipt_;
    }
    const Pixels &PhotoRgb() {
        if (photo_rgb_.px.empty()) photo_rgb_ = Decode(PathIn(dir_, "photo.jpg"), 3);
        return photo_rgb_;
    }
    const Pixels &ReceiptRgb() {
        if (receipt_rgb_.px.empty()) receipt_rgb_ = Decode(PathIn(dir_, "receipt.png"), 3);
        return receipt_rgb_;
    }
    const Pixels &ReceiptGray() {
        if (receipt_gray_.px.empty()) receipt_gray_ = Decode(PathIn(dir_, "receipt_gray.png"), 1);
        return receipt_gray_;
    }
    SilentPrinter &Printer() {
        if (!printer_) printer_ = std::make_unique<SilentPrinter>();
        return *printer_;
    }

    // Decode, scale to 576 dots wide, ordered dither, GS v 0 onto a memory port.
    Timings PrintEncoded(const std::vector<unsigned char> &data) {
        if (!memory_port_) memory_port_ = CP_Port_OpenMemoryBuffer(4u << 20);
        Check(memory_port_ != nullptr, "CP_Port_OpenMemoryBuffer failed");
        Timings t = TimeOnce([&] {
            Check(CP_Pos_PrintRasterImageFromData(memory_port_, kPrintW, 0, data.data(), static_cast<unsigned>(data.size()),
                                                  CP_ImageBinarizationMethod_Dithering, CP_ImageCompressionMethod_None),
                  "CP_Pos_PrintRasterImageFromData failed");
        });
        CP_Port_ClearMemoryBufferData(memory_port_);
        return t;
    }

    Timings Gray(const Pixels &p) {
        return TimeOnce([&] {
            unsigned char *gray = Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(
                p.px.data(), p.w, p.h, static_cast<size_t>(p.w) * 3, CP_ImagePixelsFormat_Rgb888);
            Check(gray != nullptr, "ConvertImageToGrayFormat failed");
            std::free(gray);
        });
    }

    using Binariser = unsigned char *(*)(const unsigned char *, size_t, size_t, size_t, size_t *, size_t *);
    Timings Binarise(Binariser binarise) {
        const Pixels &g = ReceiptGray();
        return TimeOnce([&] {
            unsigned char *raster = binarise(g.px.data(), g.w, g.h, g.w, nullptr, nullptr);
            Check(raster != nullptr, "binarisation failed");
            std::free(raster);
        });
    }

    std::string dir_;
    std::map<std::string, std::function<Timings()>> jobs_;
    std::vector<unsigned char> photo_, receipt_;
    Pixels photo_rgb_, receipt_rgb_, receipt_gray_;
    void *memory_port_ = nullptr;
    std::unique_ptr<SilentPrinter> printer_;
    std::unique_ptr<LibraryReceiver> library_receiver_;
    std::unique_ptr<PlainReceiver> plain_receiver_;
};

int Serve(const std::string &dir) {
    // Answers go to the original standard output alone; the library's own lines (a closed
    // connection, say) go to standard error.
    std::unique_ptr<FILE, int (*)(FILE *)> answers(fdopen(::dup(STDOUT_FILENO), "w"), std::fclose);
    Check(answers != nullptr && ::dup2(STDERR_FILENO, STDOUT_FILENO) == STDOUT_FILENO, "cannot set up the answers");
    Jobs jobs(dir);
    for (std::string line; std::getline(std::cin, line);) {
        std::string answer;
        try {
            const auto *job = jobs.Find(line);
            if (!job) throw std::runtime_error("unknown job " + line);
            for (const int64_t ns : (*job)()) answer += (answer.empty() ? "" : " ") + std::to_string(ns);
        } catch (const std::exception &e) {
            answer = std::string("ERR ") + e.what();
        }
        std::fprintf(answers.get(), "%s\n", answer.c_str());
        std::fflush(answers.get());
    }
    return 0;
}

// The resident-size high-water mark of this process image in KiB. VmHWM rather than
// ru_maxrss: a child inherits its parent's ru_maxrss across fork and exec.
long PeakResidentKib() {
    std::unique_ptr<FILE, int (*)(FILE *)> status(std::fopen("/proc/self/status", "r"), std::fclose);
    char line[256];
    long kib = -1;
    while (status && std::fgets(line, sizeof line, status.get()))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) return kib;
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

int PhotoPeak(const std::string &dir) {
    const auto data = ReadFile(PathIn(dir, "photo.jpg"));
    void *port = CP_Port_OpenMemoryBuffer(4u << 20);
    Check(port != nullptr, "CP_Port_OpenMemoryBuffer failed");
    const long before = PeakResidentKib();
    Check(CP_Pos_PrintRasterImageFromData(port, kPrintW, 0, data.data(), static_cast<unsigned>(data.size()),
                                          CP_ImageBinarizationMethod_Dithering, CP_ImageCompressionMethod_None),
          "CP_Pos_PrintRasterImageFromData failed");
    const long after = PeakResidentKib();
    CP_Port_Close(port);
    std::printf("%ld %ld\n", before, after);
    return 0;
}

int Usage() {
    std::fprintf(stderr, "usage: qv_compare gen DIR | serve DIR | once JOB DIR | rss DIR\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) return Usage();
    const std::string mode = argv[1];
    try {
        if (mode == "gen" && argc == 3) {
            Generate(argv[2]);
            return 0;
        }
        if (mode == "serve" && argc == 3) return Serve(argv[2]);
        if (mode == "rss" && argc == 3) return PhotoPeak(argv[2]);
        if (mode == "once" && argc == 4) {
            Jobs jobs(argv[3]);
            const auto *job = jobs.Find(argv[2]);
            if (!job) throw std::runtime_error(std::string("unknown job ") + argv[2]);
            (*job)();
            return 0;
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qv_compare: %s\n", e.what());
        return 1;
    }
    return Usage();
}
