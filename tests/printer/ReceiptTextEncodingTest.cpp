// Wide text printed in each printer encoding: the bytes written are those the system's iconv
// gives, and text an encoding cannot hold sends nothing.

#include <gtest/gtest.h>
#include <iconv.h>

#include <cwchar>
#include <optional>
#include <vector>

#include "CommandTestFixture.h"
#include "quorvantelmise.h"

namespace {

using WideCall = int (*)(void*, const wchar_t*);

// The oracle: the system's own conversion of the whole text.
std::optional<Bytes> SystemIconv(const wchar_t* text, const char* encoding) {
    iconv_t cd = iconv_open(encoding, "WCHAR_T");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    size_t in_left = std::wcslen(text) * sizeof(wchar_t);
    std::vector<char> out(in_left * 2 + 16);
    char* in = reinterpret_cast<char*>(const_cast<wchar_t*>(text));
    char* out_ptr = out.data();
    size_t out_left = out.size();
    size_t r = iconv(cd, &in, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || in_left != 0) return std::nullopt;
    return Bytes(out.data(), out_ptr);
}

struct EncodingCase {
    const char* encoding;
    WideCall call;
    const wchar_t* text;
    Bytes leading;  // known bytes of the first character, so the oracle is not trusted blindly
};

const std::vector<EncodingCase> kEncodings = {
    {"UTF-8", CP_Pos_PrintTextInUTF8, L"\u00fc Gr\u00fc\u00dfe \u20ac 12.50\r\n", {0xC3, 0xBC}},
    {"GBK", CP_Pos_PrintTextInGBK, L"\u4e2d\u6587\u6536\u636e 12.50\r\n", {0xD6, 0xD0}},
    {"BIG5", CP_Pos_PrintTextInBIG5, L"\u4e2d\u6587\u7e41\u9ad4 12.50\r\n", {0xA4, 0xA4}},
    {"SHIFT-JIS", CP_Pos_PrintTextInShiftJIS, L"\u65e5\u672c\u8a9e\u30c6\u30ad\u30b9\u30c8\r\n",
     {0x93, 0xFA}},
    {"EUC-KR", CP_Pos_PrintTextInEUCKR, L"\ud55c\uad6d\uc5b4 12.50\r\n", {0xC7, 0xD1}},
};

class ReceiptTextEncoding : public CommandTest {};

TEST_F(ReceiptTextEncoding, WritesTheSystemConversionInOneWrite) {
    for (const EncodingCase& c : kEncodings) {
        SCOPED_TRACE(c.encoding);
        std::optional<Bytes> expected = SystemIconv(c.text, c.encoding);
        ASSERT_TRUE(expected.has_value());
        ASSERT_EQ(Bytes(expected->begin(), expected->begin() + 2), c.leading);
        transport().ClearWrites();
        EXPECT_EQ(c.call(handle(), c.text), 1);
        ExpectWrites(writes(), {*expected});
    }
}

TEST_F(ReceiptTextEncoding, EmptyTextWritesNothingAndSucceeds) {
    for (const EncodingCase& c : kEncodings) {
        SCOPED_TRACE(c.encoding);
        transport().ClearWrites();
        EXPECT_EQ(c.call(handle(), L""), 1);
        ExpectWrites(writes(), {{}});
    }
}

TEST_F(ReceiptTextEncoding, UnrepresentableTextSendsNothing) {
    // An emoji is in none of the multibyte tables; a lone surrogate is no character at all.
    for (const EncodingCase& c : kEncodings) {
        SCOPED_TRACE(c.encoding);
        const wchar_t* text = c.call == CP_Pos_PrintTextInUTF8 ? L"ok \xD800" : L"ok \U0001F600";
        ASSERT_FALSE(SystemIconv(text, c.encoding).has_value());
        EXPECT_EQ(c.call(handle(), text), 0);
        EXPECT_TRUE(writes().empty());
    }
}

TEST_F(ReceiptTextEncoding, FailedWriteOfConvertedTextIsReported) {
    ScriptWriteResults(1, 1);
    EXPECT_EQ(CP_Pos_PrintTextInGBK(handle(), L"\u4e2d\u6587"), 0);
}

}  // namespace
