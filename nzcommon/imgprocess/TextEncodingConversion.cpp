#include "nzcommon/imgprocess/TextEncodingConversion.h"

#include "base/NZStringUtils.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace {

constexpr const char *kWideName = "WCHAR_T";
// Lengths are printed with %d, and the output buffer is four bytes per character plus four.
constexpr size_t kMaxUnits = INT_MAX / 4 - 1;

std::atomic<TextEncoding::IconvFunction> g_iconvForTesting{nullptr};

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using MallocPtr = std::unique_ptr<T, FreeDeleter>;

template <typename T>
MallocPtr<T> ZeroedBuffer(size_t count) {
    return MallocPtr<T>(static_cast<T *>(std::calloc(count, sizeof(T))));
}

class IconvHandle {
public:
    IconvHandle(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) iconv_close(cd_);
    }
    IconvHandle(const IconvHandle &) = delete;
    IconvHandle &operator=(const IconvHandle &) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

void PrintFailed(const char *from, const char *to, int error) {
    std::printf("iconv failed to convert str from %s to %s. errno %d\r\n", from, to, error);
    std::fflush(stdout);
}

// One conversion of the whole input into a zeroed buffer of outputBytes. Returns the buffer
// and the number of bytes produced, or null (after printing why, unless the encoding is
// unknown).
MallocPtr<char> Convert(const char *from, const char *to, const char *input, size_t inputBytes,
                        size_t outputBytes, bool inputValid, size_t *produced) {
    IconvHandle cd(to, from);
    if (!cd.valid()) return nullptr;
    if (!inputValid) {
        PrintFailed(from, to, EILSEQ);
        return nullptr;
    }
    MallocPtr<char> output = ZeroedBuffer<char>(outputBytes);
    if (!output) return nullptr;

    TextEncoding::IconvFunction convert = g_iconvForTesting.load(std::memory_order_relaxed);
    if (convert == nullptr) convert = ::iconv;
    char *in = const_cast<char *>(input);
    size_t inLeft = inputBytes;
    char *out = output.get();
    size_t outLeft = outputBytes;
    if (convert(cd.get(), &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
        PrintFailed(from, to, errno);
        return nullptr;
    }
    if (inLeft != 0) {
        std::printf("iconv incomplete convert str from %s to %s. srcbyteslen:%d inbytesleft: %d",
                    from, to, static_cast<int>(inputBytes), static_cast<int>(inLeft));
        std::fflush(stdout);
        return nullptr;
    }
    // Stateful encodings end their last shift state here; for the others this adds nothing.
    if (convert(cd.get(), nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1)) {
        PrintFailed(from, to, errno);
        return nullptr;
    }
    *produced = outputBytes - outLeft;
    return output;
}

// glibc's wide converter writes code points above U+10FFFF as bytes no decoder accepts.
bool AllUnicode(const wchar_t *text, size_t chars) {
    for (size_t i = 0; i < chars; ++i)
        if (text[i] < 0 || text[i] > 0x10FFFF) return false;
    return true;
}

}  // namespace

namespace TextEncoding {

std::optional<std::string> WideTextToEncoding(const wchar_t *text, const char *encoding) {
    MallocPtr<char> converted(iconv_wcstombs(text, encoding));
    if (!converted) return std::nullopt;
    try {
        return std::string(converted.get());
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

void SetIconvFunctionForTesting(IconvFunction function) {
    g_iconvForTesting.store(function, std::memory_order_relaxed);
}

}  // namespace TextEncoding

char *iconv_wcstombs(const wchar_t *text, const char *encoding) {
    if (text == nullptr || encoding == nullptr) return nullptr;
    const size_t chars = std::wcslen(text);
    if (chars > kMaxUnits) return nullptr;
    size_t produced = 0;
    MallocPtr<char> output = Convert(kWideName, encoding, reinterpret_cast<const char *>(text),
                                     chars * sizeof(wchar_t), (chars + 1) * 4,
                                     AllUnicode(text, chars), &produced);
    if (!output) return nullptr;
    auto *result = static_cast<char *>(std::malloc(produced + 1));
    if (result == nullptr) return nullptr;
    const size_t length = strnlen(output.get(), produced);
    std::memcpy(result, output.get(), length);
    result[length] = '\0';
    return result;
}

wchar_t *iconv_mbstowcs(const char *text, const char *encoding) {
    if (text == nullptr || encoding == nullptr) return nullptr;
    const size_t bytes = std::strlen(text);
    if (bytes > kMaxUnits) return nullptr;
    size_t produced = 0;
    MallocPtr<char> output =
        Convert(encoding, kWideName, text, bytes, (bytes + 1) * sizeof(wchar_t), true, &produced);
    if (!output) return nullptr;
    const auto *wide = reinterpret_cast<const wchar_t *>(output.get());
    const size_t length = wcsnlen(wide, produced / sizeof(wchar_t));
    auto *result = static_cast<wchar_t *>(std::malloc((length + 1) * sizeof(wchar_t)));
    if (result == nullptr) return nullptr;
    std::wmemcpy(result, wide, length);
    result[length] = L'\0';
    return result;
}

// The locale forms share the port layer's per-thread environment locale, so the
// application's own locale is never changed.
char *iconv_wcstolocalmbs(const wchar_t *text) { return NZStringUtils::nzutils_wcstombs_local(text); }

wchar_t *iconv_localmbstowcs(const char *text) { return NZStringUtils::nzutils_mbstowcs_local(text); }

char *iconv_utftolocalmbs(const char *text) {
    MallocPtr<wchar_t> wide(iconv_mbstowcs(text, "UTF-8"));
    if (!wide) return nullptr;
    return iconv_wcstolocalmbs(wide.get());
}

char *strdup_local(const char *text) {
    if (text == nullptr) return nullptr;
    const size_t bytes = std::strlen(text) + 1;
    auto *copy = static_cast<char *>(std::malloc(bytes));
    if (copy != nullptr) std::memcpy(copy, text, bytes);
    return copy;
}

wchar_t *wcsdup_local(const wchar_t *text) {
    if (text == nullptr) return nullptr;
    const size_t chars = std::wcslen(text) + 1;
    auto *copy = static_cast<wchar_t *>(std::malloc(chars * sizeof(wchar_t)));
    if (copy != nullptr) std::wmemcpy(copy, text, chars);
    return copy;
}
