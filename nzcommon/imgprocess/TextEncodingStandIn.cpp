// Temporary: converts nothing until the real conversion is merged.
#include "nzcommon/imgprocess/TextEncodingConversion.h"

char *iconv_wcstombs(const wchar_t *, const char *) { return nullptr; }
