// Wide text (NUL-terminated 32-bit wchar_t) to and from multibyte encodings, over iconv and
// the C library's locale conversions.
//
// For the text commands: call WideTextToEncoding (or iconv_wcstombs) with one of the
// encoding names below and send the bytes it returns; a failed conversion sends nothing.
// A character the encoding cannot represent, an invalid wide character, an unknown encoding
// name or a null argument is a failure, never a shortened or empty success. An empty text
// converts to an empty result.
//
// The named conversions print one of two lines to standard output when iconv fails:
//   "iconv failed to convert str from %s to %s. errno %d\r\n"
//   "iconv incomplete convert str from %s to %s. srcbyteslen:%d inbytesleft: %d"
// An unknown encoding name fails silently. Nothing else prints.
//
// Every char* / wchar_t* returned is a new NUL-terminated malloc'd buffer, freed with free.
// All functions are safe to call from any thread. The locale forms convert under the
// locale the environment names, built per thread; the process locale is left alone.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <optional>
#include <string>

namespace TextEncoding {
// The printer encodings of the text commands.
inline constexpr const char *kUTF8 = "UTF-8";
inline constexpr const char *kGBK = "GBK";
inline constexpr const char *kBIG5 = "BIG5";
inline constexpr const char *kShiftJIS = "SHIFT-JIS";
inline constexpr const char *kEUCKR = "EUC-KR";

// The converted bytes (no terminating NUL), or nullopt on failure.
std::optional<std::string> WideTextToEncoding(const wchar_t *text, const char *encoding);

// Test seam: replaces ::iconv in the named conversions; null restores it.
using IconvFunction = size_t (*)(iconv_t, char **, size_t *, char **, size_t *);
void SetIconvFunctionForTesting(IconvFunction function);
}  // namespace TextEncoding

// Wide text to the named encoding / multibyte text in the named encoding to wide text.
char *iconv_wcstombs(const wchar_t *text, const char *encoding);
wchar_t *iconv_mbstowcs(const char *text, const char *encoding);

// To and from the encoding of the locale that the environment names. When no locale can be
// set, bytes map to the characters U+0000..U+00FF and back; other characters fail.
char *iconv_wcstolocalmbs(const wchar_t *text);
wchar_t *iconv_localmbstowcs(const char *text);
// UTF-8 text to the locale's encoding.
char *iconv_utftolocalmbs(const char *text);

// Copies of strlen + 1 bytes (wcslen + 1 characters); null for null or when out of memory.
char *strdup_local(const char *text);
wchar_t *wcsdup_local(const wchar_t *text);
