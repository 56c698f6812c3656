// Wide-text conversion, checked byte for byte against fixed bytes and against iconv(1).
#include <gtest/gtest.h>

#include "nzcommon/imgprocess/TextEncodingConversion.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

static_assert(sizeof(wchar_t) == 4, "wide text is 32-bit");

namespace {

std::string Hex(const std::string &bytes) {
    std::string out;
    char digits[4];
    for (unsigned char b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", b);
        out += digits;
    }
    return out;
}

struct Freed {
    void operator()(void *p) const { std::free(p); }
};
using CharPtr = std::unique_ptr<char, Freed>;
using WidePtr = std::unique_ptr<wchar_t, Freed>;

// The system's iconv(1), fed UTF-32LE rather than our WCHAR_T path.
std::optional<std::string> SystemIconv(const std::wstring &text, const char *encoding) {
    char dir[] = "/tmp/qv-iconv-XXXXXX";
    if (mkdtemp(dir) == nullptr) return std::nullopt;
    const std::string input = std::string(dir) + "/in";
    {
        std::ofstream file(input, std::ios::binary);
        for (wchar_t c : text) {
            const uint32_t v = static_cast<uint32_t>(c);
            const char le[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
            file.write(le, 4);
        }
    }
    const std::string command =
        std::string("iconv -f UTF-32LE -t ") + encoding + " " + input + " 2>/dev/null";
    std::optional<std::string> result;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        std::string out;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        if (pclose(pipe) == 0) result = out;
    }
    std::remove(input.c_str());
    rmdir(dir);
    return result;
}

// Runs a conversion and returns what it printed to standard output.
template <typename F>
std::string Printed(F &&call) {
    testing::internal::CaptureStdout();
    call();
    return testing::internal::GetCapturedStdout();
}

struct EncodeCase {
    const char *name;
    std::wstring text;
    const char *encoding;
    std::string bytes;
};

class TextEncodingNamed : public testing::TestWithParam<EncodeCase> {};

TEST_P(TextEncodingNamed, MatchesFixedBytesAndSystemIconv) {
    const EncodeCase &c = GetParam();
    std::string printed;
    CharPtr converted;
    printed = Printed([&] { converted.reset(iconv_wcstombs(c.text.c_str(), c.encoding)); });
    ASSERT_NE(converted, nullptr);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(Hex(converted.get()), Hex(c.bytes));
    const std::optional<std::string> system = SystemIconv(c.text, c.encoding);
    ASSERT_TRUE(system.has_value());
    EXPECT_EQ(Hex(converted.get()), Hex(*system));
    EXPECT_EQ(TextEncoding::WideTextToEncoding(c.text.c_str(), c.encoding), c.bytes);

    // And back again.
    WidePtr back(iconv_mbstowcs(c.bytes.c_str(), c.encoding));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::wstring(back.get()), c.text);
}

void PrintTo(const EncodeCase &c, std::ostream *os) { *os << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Cases, TextEncodingNamed,
    testing::Values(
        EncodeCase{"EmptyUtf8", L"", TextEncoding::kUTF8, ""},
        EncodeCase{"EmptyGbk", L"", TextEncoding::kGBK, ""},
        EncodeCase{"AsciiShiftJis", L"Total: 12.50", TextEncoding::kShiftJIS, "Total: 12.50"},
        EncodeCase{"Utf8ThreeByte", L"\u4E2D\u6587", TextEncoding::kUTF8,
                   "\xE4\xB8\xAD\xE6\x96\x87"},
        // Only four-byte characters: the output buffer is exactly full before its NUL.
        EncodeCase{"Utf8FourByteOnly", L"\U0001F600\U00010348", TextEncoding::kUTF8,
                   "\xF0\x9F\x98\x80\xF0\x90\x8D\x88"},
        EncodeCase{"Gbk", L"\u4E2D\u6587 ok", TextEncoding::kGBK, "\xD6\xD0\xCE\xC4 ok"},
        EncodeCase{"Big5", L"\u4E2D\u6587", TextEncoding::kBIG5, "\xA4\xA4\xA4\xE5"},
        EncodeCase{"ShiftJis", L"\u65E5\u672C\uFF71", TextEncoding::kShiftJIS,
                   "\x93\xFA\x96\x7B\xB1"},
        EncodeCase{"EucKr", L"\uD55C\uAD6D", TextEncoding::kEUCKR, "\xC7\xD1\xB1\xB9"},
        // A stateful encoding must end in its initial shift state.
        EncodeCase{"Iso2022JpEndsShifted", L"\u65E5", "ISO-2022-JP", "\x1B$BF|\x1B(B"}),
    [](const testing::TestParamInfo<EncodeCase> &info) { return std::string(info.param.name); });

TEST(TextEncoding, LongMixedTextMatchesSystemIconvInEveryPrinterEncoding) {
    struct {
        const char *encoding;
        std::wstring text;
    } cases[] = {
        {TextEncoding::kUTF8, L"Receipt \u00A5100 \u4E2D\u6587 \uD55C\uAD6D \u65E5\u672C \U0001F600"},
        {TextEncoding::kGBK, L"\u6536\u636E\u53F7: 0012 \u5408\u8BA1 28.00 \u00E9"},
        {TextEncoding::kBIG5, L"\u6536\u64DA\u865F: 0012 \u5408\u8A08 28.00"},
        {TextEncoding::kShiftJIS, L"\u9818\u53CE\u66F8 \u5408\u8A08 \uFF76\uFF9E 28 \u00A5"},
        {TextEncoding::kEUCKR, L"\uC601\uC218\uC99D \uD569\uACC4 28,000\uC6D0 \u4E2D"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.encoding);
        std::wstring text;
        for (int i = 0; i < 40; ++i) text += c.text;
        const std::optional<std::string> ours = TextEncoding::WideTextToEncoding(text.c_str(), c.encoding);
        const std::optional<std::string> system = SystemIconv(text, c.encoding);
        ASSERT_TRUE(ours.has_value());
        ASSERT_TRUE(system.has_value());
        EXPECT_EQ(*ours, *system) << Hex(*ours).substr(0, 200);
    }
}

TEST(TextEncoding, UnrepresentableOrInvalidCharactersFailWithTheFirstMessage) {
    struct {
        const char *name;
        std::wstring text;
        const char *encoding;
    } cases[] = {
        {"emoji in GBK", L"ok \U0001F600", TextEncoding::kGBK},
        {"hangul in BIG5", L"ab\uD55C", TextEncoding::kBIG5},
        {"accented letter in SHIFT-JIS", L"caf\u00E9", TextEncoding::kShiftJIS},
        {"thai in EUC-KR", L"x\u0E01", TextEncoding::kEUCKR},
        {"lone surrogate", std::wstring(L"a") + wchar_t(0xD800), TextEncoding::kUTF8},
        {"beyond U+10FFFF", std::wstring(L"a") + wchar_t(0x110000), TextEncoding::kUTF8},
        {"beyond U+10FFFF in GBK", std::wstring(L"a") + wchar_t(0x7FFFFFFF), TextEncoding::kGBK},
        {"negative wchar_t", std::wstring(L"a") + wchar_t(-1), TextEncoding::kUTF8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CharPtr converted;
        const std::string printed =
            Printed([&] { converted.reset(iconv_wcstombs(c.text.c_str(), c.encoding)); });
        EXPECT_EQ(converted, nullptr);
        EXPECT_EQ(printed, std::string("iconv failed to convert str from WCHAR_T to ") +
                               c.encoding + ". errno " + std::to_string(EILSEQ) + "\r\n");
        std::optional<std::string> viaCpp;
        Printed([&] { viaCpp = TextEncoding::WideTextToEncoding(c.text.c_str(), c.encoding); });
        EXPECT_FALSE(viaCpp.has_value());
    }
}

TEST(TextEncoding, BadMultibyteInputFailsWithTheMirroredMessage) {
    struct {
        const char *name;
        const char *bytes;
        const char *encoding;
        int error;
    } cases[] = {
        {"truncated UTF-8 sequence", "ab\xE4\xB8", "UTF-8", EINVAL},
        {"invalid UTF-8 byte", "a\xFF" "b", "UTF-8", EILSEQ},
        {"half a GBK pair", "\xD6", "GBK", EINVAL},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WidePtr converted;
        const std::string printed =
            Printed([&] { converted.reset(iconv_mbstowcs(c.bytes, c.encoding)); });
        EXPECT_EQ(converted, nullptr);
        EXPECT_EQ(printed, std::string("iconv failed to convert str from ") + c.encoding +
                               " to WCHAR_T. errno " + std::to_string(c.error) + "\r\n");
    }
}

TEST(TextEncoding, UnknownEncodingsAndNullArgumentsFailSilently) {
    const std::string printed = Printed([] {
        EXPECT_EQ(iconv_wcstombs(L"abc", "NO-SUCH-ENCODING"), nullptr);
        EXPECT_EQ(iconv_mbstowcs("abc", "NO-SUCH-ENCODING"), nullptr);
        EXPECT_EQ(iconv_wcstombs(nullptr, "UTF-8"), nullptr);
        EXPECT_EQ(iconv_wcstombs(L"abc", nullptr), nullptr);
        EXPECT_EQ(iconv_mbstowcs(nullptr, "UTF-8"), nullptr);
        EXPECT_EQ(iconv_mbstowcs("abc", nullptr), nullptr);
        EXPECT_FALSE(TextEncoding::WideTextToEncoding(nullptr, "UTF-8").has_value());
        EXPECT_EQ(iconv_wcstolocalmbs(nullptr), nullptr);
        EXPECT_EQ(iconv_localmbstowcs(nullptr), nullptr);
        EXPECT_EQ(iconv_utftolocalmbs(nullptr), nullptr);
        EXPECT_EQ(strdup_local(nullptr), nullptr);
        EXPECT_EQ(wcsdup_local(nullptr), nullptr);
    });
    EXPECT_EQ(printed, "");
}

// Stops after half the input and reports success, as no real converter does.
size_t HalfIconv(iconv_t cd, char **in, size_t *inLeft, char **out, size_t *outLeft) {
    if (in == nullptr || *in == nullptr) return iconv(cd, in, inLeft, out, outLeft);
    size_t half = *inLeft / 2;
    size_t rest = *inLeft - half;
    const size_t result = iconv(cd, in, &half, out, outLeft);
    *inLeft = rest + half;
    return result;
}

TEST(TextEncoding, PartlyConvertedInputFailsWithTheSecondMessage) {
    TextEncoding::SetIconvFunctionForTesting(HalfIconv);
    CharPtr converted;
    const std::string printed =
        Printed([&] { converted.reset(iconv_wcstombs(L"ab", TextEncoding::kUTF8)); });
    TextEncoding::SetIconvFunctionForTesting(nullptr);
    EXPECT_EQ(converted, nullptr);
    EXPECT_EQ(printed,
              "iconv incomplete convert str from WCHAR_T to UTF-8. srcbyteslen:8 inbytesleft: 4");

    TextEncoding::SetIconvFunctionForTesting(HalfIconv);
    WidePtr wide;
    const std::string mirrored =
        Printed([&] { wide.reset(iconv_mbstowcs("abcdef", TextEncoding::kGBK)); });
    TextEncoding::SetIconvFunctionForTesting(nullptr);
    EXPECT_EQ(wide, nullptr);
    EXPECT_EQ(mirrored,
              "iconv incomplete convert str from GBK to WCHAR_T. srcbyteslen:6 inbytesleft: 3");
}

// The locale forms take the locale from the environment; each test names its own.
class TextEncodingLocale : public testing::Test {
protected:
    void SetUp() override {
        if (const char *value = std::getenv("LC_ALL")) savedEnv_ = value;
        savedLocale_ = std::setlocale(LC_ALL, nullptr);
    }
    void TearDown() override {
        if (savedEnv_) {
            setenv("LC_ALL", savedEnv_->c_str(), 1);
        } else {
            unsetenv("LC_ALL");
        }
        std::setlocale(LC_ALL, savedLocale_.c_str());
    }
    static void UseLocale(const char *name) { setenv("LC_ALL", name, 1); }

private:
    std::optional<std::string> savedEnv_;
    std::string savedLocale_;
};

TEST_F(TextEncodingLocale, Utf8LocaleConvertsBothWays) {
    UseLocale("C.UTF-8");
    CharPtr narrow(iconv_wcstolocalmbs(L"a\u4E2D\U0001F600"));
    ASSERT_NE(narrow, nullptr);
    EXPECT_EQ(Hex(narrow.get()), Hex("a\xE4\xB8\xAD\xF0\x9F\x98\x80"));
    WidePtr wide(iconv_localmbstowcs("a\xE4\xB8\xAD\xF0\x9F\x98\x80"));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wstring(wide.get()), L"a\u4E2D\U0001F600");
    CharPtr fromUtf8(iconv_utftolocalmbs("\xE6\x96\x87 x"));
    ASSERT_NE(fromUtf8, nullptr);
    EXPECT_STREQ(fromUtf8.get(), "\xE6\x96\x87 x");
    CharPtr empty(iconv_wcstolocalmbs(L""));
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty.get(), "");
}

TEST_F(TextEncodingLocale, TextTheLocaleCannotHoldFailsInsteadOfBeingCut) {
    UseLocale("C");
    CharPtr ascii(iconv_wcstolocalmbs(L"plain"));
    ASSERT_NE(ascii, nullptr);
    EXPECT_STREQ(ascii.get(), "plain");
    EXPECT_EQ(iconv_wcstolocalmbs(L"a\u00E9b"), nullptr);
    EXPECT_EQ(iconv_localmbstowcs("a\xE9" "b"), nullptr);
    EXPECT_EQ(iconv_utftolocalmbs("a\xC3\xA9"), nullptr);
    UseLocale("C.UTF-8");
    EXPECT_EQ(iconv_localmbstowcs("a\xE4\xB8"), nullptr);
    EXPECT_EQ(iconv_wcstolocalmbs((std::wstring(L"a") + wchar_t(0x110000)).c_str()), nullptr);
}

TEST_F(TextEncodingLocale, WithoutALocaleBytesAreTheFirst256Characters) {
    UseLocale("xx_NO.SUCH-LOCALE");
    WidePtr wide(iconv_localmbstowcs("a\xE9\xFF"));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wstring(wide.get()), L"a\u00E9\u00FF");
    CharPtr narrow(iconv_wcstolocalmbs(wide.get()));
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow.get(), "a\xE9\xFF");
    EXPECT_EQ(iconv_wcstolocalmbs(L"a\u4E2D"), nullptr);
}

TEST(TextEncoding, CopiesAreExact) {
    CharPtr copy(strdup_local("abc"));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy.get(), "abc");
    WidePtr wide(wcsdup_local(L"a\u4E2D"));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wstring(wide.get()), L"a\u4E2D");
    CharPtr empty(strdup_local(""));
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty.get(), "");
}

}  // namespace
