#pragma once

#include <cwchar>

// Wide text to the named multibyte encoding: a new NUL-terminated malloc'd string, or null.
char *iconv_wcstombs(const wchar_t *text, const char *encoding);
