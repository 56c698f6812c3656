#include "base/NZStringUtils.h"

#include <locale.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

// The environment's locale, kept per thread and used only for our own conversions, so the
// application's locale is never changed and threads never race on it. It is rebuilt when
// the locale variables change, as a fresh setlocale(LC_ALL, "") would see them.
class ThreadEnvironmentLocale {
public:
    ~ThreadEnvironmentLocale() { reset(); }

    locale_t get() {
        std::string key = environmentKey();
        if (!built_ || key != key_) {
            reset();
            locale_ = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
            key_ = std::move(key);
            built_ = true;
        }
        return locale_;
    }

private:
    static std::string environmentKey() {
        std::string key;
        for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* value = std::getenv(name);
            key += value != nullptr ? value : "";
            key += '\n';
        }
        return key;
    }

    void reset() {
        if (locale_ != static_cast<locale_t>(0)) freelocale(locale_);
        locale_ = static_cast<locale_t>(0);
    }

    locale_t locale_ = static_cast<locale_t>(0);
    std::string key_;
    bool built_ = false;
};

locale_t environmentLocale() {
    thread_local ThreadEnvironmentLocale locale;
    return locale.get();
}

// glibc shares its conversion tables between threads behind locks the thread sanitizer
// cannot see; one lock around our conversions keeps them ordered (they are short).
std::mutex& conversionMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

class ScopedThreadLocale {
public:
    explicit ScopedThreadLocale(locale_t locale) : previous_(uselocale(locale)) {}
    ~ScopedThreadLocale() { uselocale(previous_); }

private:
    locale_t previous_;
};

}  // namespace

wchar_t* NZStringUtils::nzutils_mbstowcs_local(const char* text) {
    if (text == nullptr) return nullptr;
    size_t length = std::strlen(text);
    locale_t locale = environmentLocale();
    if (locale == static_cast<locale_t>(0)) {
        // No usable environment locale: one character per byte.
        auto* wide = static_cast<wchar_t*>(std::calloc(length + 1, sizeof(wchar_t)));
        if (wide == nullptr) return nullptr;
        for (size_t i = 0; i < length; ++i) wide[i] = static_cast<unsigned char>(text[i]);
        return wide;
    }
    std::lock_guard<std::mutex> serialised(conversionMutex());
    ScopedThreadLocale scoped(locale);
    size_t needed = std::mbstowcs(nullptr, text, 0);
    if (needed == static_cast<size_t>(-1)) return nullptr;
    auto* wide = static_cast<wchar_t*>(std::calloc(needed + 1, sizeof(wchar_t)));
    if (wide == nullptr) return nullptr;
    if (std::mbstowcs(wide, text, needed + 1) == static_cast<size_t>(-1)) {
        std::free(wide);
        return nullptr;
    }
    return wide;
}

char* NZStringUtils::nzutils_wcstombs_local(const wchar_t* text) {
    if (text == nullptr) return nullptr;
    size_t length = std::wcslen(text);
    locale_t locale = environmentLocale();
    if (locale == static_cast<locale_t>(0)) {
        // One byte per character; a character beyond one byte fails rather than being cut.
        auto* narrow = static_cast<char*>(std::calloc(length + 1, 1));
        if (narrow == nullptr) return nullptr;
        for (size_t i = 0; i < length; ++i) {
            if (text[i] < 0 || text[i] > 0xFF) {
                std::free(narrow);
                return nullptr;
            }
            narrow[i] = static_cast<char>(text[i]);
        }
        return narrow;
    }
    // glibc writes code points beyond U+10FFFF as bytes that no decoder accepts.
    for (size_t i = 0; i < length; ++i)
        if (text[i] < 0 || text[i] > 0x10FFFF) return nullptr;
    std::lock_guard<std::mutex> serialised(conversionMutex());
    ScopedThreadLocale scoped(locale);
    size_t needed = std::wcstombs(nullptr, text, 0);
    if (needed == static_cast<size_t>(-1)) return nullptr;
    auto* narrow = static_cast<char*>(std::calloc(needed + 1, 1));
    if (narrow == nullptr) return nullptr;
    if (std::wcstombs(narrow, text, needed + 1) == static_cast<size_t>(-1)) {
        std::free(narrow);
        return nullptr;
    }
    return narrow;
}

wchar_t* NZStringUtils::nzutils_wcsdup_local(const wchar_t* text) {
    if (text == nullptr) return nullptr;
    size_t length = std::wcslen(text);
    auto* copy = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text, (length + 1) * sizeof(wchar_t));
    return copy;
}

char* NZStringUtils::nzutils_strdup_local(const char* text) {
    if (text == nullptr) return nullptr;
    size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text, length + 1);
    return copy;
}
