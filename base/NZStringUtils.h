#pragma once

#include <cwchar>

// Conversions between the environment locale's multibyte text and wide strings. Every
// result is a new heap string (malloc) that the caller frees with free, or null: null input,
// no memory, or text the locale cannot convert.
class NZStringUtils {
public:
    static wchar_t* nzutils_mbstowcs_local(const char* text);
    static char* nzutils_wcstombs_local(const wchar_t* text);
    static wchar_t* nzutils_wcsdup_local(const wchar_t* text);
    static char* nzutils_strdup_local(const char* text);
};
