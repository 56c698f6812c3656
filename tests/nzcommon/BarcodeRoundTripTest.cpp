// Rendered barcodes read back by an independent decoder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BarcodeDecode.h"
#include "quorvantelmise.h"

namespace {

struct RoundTrip {
    const char *name;
    int type;
    std::string text;
    const char *format;
    std::string decoded;  // raw content as read
    DecodeOptions options;
};

DecodeOptions AddOn() {
    DecodeOptions o;
    o.requireAddOn = true;
    return o;
}

DecodeOptions Extended(bool check) {
    DecodeOptions o;
    o.code39Extended = true;
    o.code39Check = check;
    return o;
}

DecodeOptions ItfCheck() {
    DecodeOptions o;
    o.itfCheck = true;
    return o;
}

DecodeOptions CodabarStartStop() {
    DecodeOptions o;
    o.codabarStartStop = true;
    return o;
}

}  // namespace

TEST(BarcodeRoundTrip, EveryReadableTypeDecodesToItsText) {
#ifndef QV_HAVE_ZXING
    GTEST_SKIP() << "ZXing-C++ not found";
#endif
    const std::string ascii = [] {
        std::string s;
        for (int c = 1; c < 128; ++c) s += static_cast<char>(c);
        return s;
    }();
    const RoundTrip cases[] = {
        {"UPC-A", 0, "01234567890", "UPC-A", "012345678905", {}},
        {"UPC-E", 1, "425261", "UPC-E", "04252614", {}},
        {"EAN-13", 2, "400638133393", "EAN-13", "4006381333931", {}},
        {"EAN-8", 3, "9638507", "EAN-8", "96385074", {}},
        {"Code 39", 4, "CODE-39 $/+%.", "Code39", "CODE-39 $/+%.", {}},
        {"ITF", 5, "1234567", "ITF", "01234567", {}},
        {"Codabar", 6, "1234", "Codabar", "A1234A", CodabarStartStop()},
        {"Codabar own start/stop", 6, "C-$:/.+D", "Codabar", "C-$:/.+D", CodabarStartStop()},
        {"Code 93 full ASCII", 7, "Code 93 $%+/ a\x01~", "Code93", "Code 93 $%+/ a\x01~", {}},
        {"Code 128 auto", 8, "Hello, World 12345678\t\x01x", "Code128", "Hello, World 12345678\t\x01x", {}},
        {"Code 128 auto ASCII 1-42", 8, ascii.substr(0, 42), "Code128", ascii.substr(0, 42), {}},
        {"Code 128 auto ASCII 43-84", 8, ascii.substr(42, 42), "Code128", ascii.substr(42, 42), {}},
        {"Code 128 auto ASCII 85-127", 8, ascii.substr(84), "Code128", ascii.substr(84), {}},
        {"Code 128 auto odd digits", 8, "AB12345", "Code128", "AB12345", {}},
        {"Code 128 manual", 11, "\x97" "AB\x01\x94" "ab\x92\x01" "c\x93" "1234", "Code128", "AB\x01" "ab\x01" "c1234", {}},
        {"EAN-128", 12, "0112345678901231", "Code128", "0112345678901231", {}},
        {"ITF with check", 13, "1234567", "ITF", "12345670", ItfCheck()},
        {"Code 39 full ASCII with check", 14, "a$b", "Code39", "a$b", Extended(true)},
        {"Code 39 full ASCII", 15, "a$b%c+d/e \x01~", "Code39", "a$b%c+d/e \x01~", Extended(false)},
        {"EAN-13 + 2", 16, "40063813339312", "EAN-13", "4006381333931 12", AddOn()},
        {"EAN-13 + 5", 17, "40063813339312345", "EAN-13", "4006381333931 12345", AddOn()},
        {"EAN-8 + 2", 18, "963850712", "EAN-8", "96385074 12", AddOn()},
        {"EAN-8 + 5", 19, "963850712345", "EAN-8", "96385074 12345", AddOn()},
        {"UPC-A + 2", 21, "0123456789012", "UPC-A", "012345678905 12", AddOn()},
        {"UPC-A + 5", 22, "0123456789012345", "UPC-A", "012345678905 12345", AddOn()},
        {"UPC-E + 2", 23, "42526112", "UPC-E", "04252614 12", AddOn()},
        {"UPC-E + 5", 24, "42526112345", "UPC-E", "04252614 12345", AddOn()},
        {"ITF-14", 28, "1234567890123", "ITF", "12345678901231", ItfCheck()},
        {"EAN-14", 29, "1234567890123", "Code128", "12345678901231", {}},
    };
    for (const RoundTrip &c : cases) {
        for (int unit : {1, 2}) {
            const DecodedBarcode r = RenderAndDecode(c.type, c.text.c_str(), unit, c.options);
            ASSERT_TRUE(r.ok) << c.name << " unit " << unit;
            EXPECT_EQ(r.format, c.format) << c.name;
            // Add-ons are reported after a space in the text, not in the raw bytes.
            EXPECT_EQ(c.options.requireAddOn ? r.text : r.bytes, c.decoded) << c.name << " unit " << unit;
        }
    }
}

// The plain Code 39 type keeps "$ % + /" as themselves; a full-ASCII reader would take them
// as shift characters, which is why the full-ASCII types code them as pairs.
TEST(BarcodeRoundTrip, Code39FullAsciiPunctuationNeedsItsPairs) {
#ifndef QV_HAVE_ZXING
    GTEST_SKIP() << "ZXing-C++ not found";
#endif
    EXPECT_NE(RenderAndDecode(4, "A$B/C", 2, Extended(false)).bytes, "A$B/C");
    EXPECT_EQ(RenderAndDecode(15, "A$B/C", 2, Extended(false)).bytes, "A$B/C");
    EXPECT_EQ(RenderAndDecode(15, "A$B/C", 2, DecodeOptions{}).bytes, "A/DB/OC");
}

TEST(BarcodeRoundTrip, EanCode128SymbolIdentifiesGs1) {
#ifndef QV_HAVE_ZXING
    GTEST_SKIP() << "ZXing-C++ not found";
#endif
    EXPECT_EQ(RenderAndDecode(12, "12", 2).symbologyId, "]C1");
    EXPECT_EQ(RenderAndDecode(8, "12", 2).symbologyId, "]C0");
}

// Every entry of every pattern table, read back: each parity of the EAN/UPC tables, each
// character of the two-width and Code 39/93 tables, and FNC2/FNC3, the only Code 128 values
// the other round trips leave out. Wide texts go at one dot a module.
TEST(BarcodeRoundTrip, EveryPatternTableEntryDecodes) {
#ifndef QV_HAVE_ZXING
    GTEST_SKIP() << "ZXing-C++ not found";
#endif
    const std::string digits = "01234567890123456789";
    // EAN-13: every first digit selects its own parity row.
    for (int first = 0; first < 10; ++first) {
        const std::string text = std::to_string(first) + digits.substr(static_cast<size_t>(first), 11);
        const DecodedBarcode r = RenderAndDecode(2, text.c_str(), 1);
        ASSERT_TRUE(r.ok) << text;
        // A leading 0 is read as UPC-A.
        EXPECT_EQ((r.format == "UPC-A" ? "0" + r.bytes : r.bytes).substr(0, 12), text);
    }
    // UPC-E: the parity comes from the check digit; find texts with every check digit.
    std::string checks;
    for (int i = 0; i < 60 && checks.size() < 10; ++i) {
        char text[8];
        std::snprintf(text, sizeof text, "%06d", 123450 + 7 * i);
        const DecodedBarcode r = RenderAndDecode(1, text, 1);
        ASSERT_TRUE(r.ok) << text;
        ASSERT_EQ(r.bytes.substr(0, 7), std::string("0") + text);
        if (checks.find(r.bytes[7]) == std::string::npos) checks += r.bytes[7];
    }
    EXPECT_EQ(checks.size(), 10u) << checks;
    // Add-ons: 2-digit parity by value mod 4, 5-digit parity by each checksum 0-9.
    for (const char *addOn : {"00", "01", "02", "03", "00000", "00001", "00002", "00003", "00004", "00005",
                              "00006", "00007", "00008", "00009", "98765"}) {
        const std::string text = std::string("400638133393") + addOn;
        const DecodedBarcode r = RenderAndDecode(std::strlen(addOn) == 2 ? 16 : 17, text.c_str(), 1, AddOn());
        ASSERT_TRUE(r.ok) << text;
        EXPECT_EQ(r.text, std::string("4006381333931 ") + addOn);
    }
    std::string ascii;
    for (int c = 1; c < 128; ++c) ascii += static_cast<char>(c);
    const RoundTrip cases[] = {
        {"ITF every digit", 5, "0123456789", "ITF", "0123456789", {}},
        {"Code 39 every character", 4, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%", "Code39",
         "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%", {}},
        {"Code 39 full ASCII 1-42", 15, ascii.substr(0, 42), "Code39", ascii.substr(0, 42), Extended(false)},
        {"Code 39 full ASCII 43-84", 15, ascii.substr(42, 42), "Code39", ascii.substr(42, 42), Extended(false)},
        {"Code 39 full ASCII 85-127", 15, ascii.substr(84), "Code39", ascii.substr(84), Extended(false)},
        {"Code 93 ASCII 1-42", 7, ascii.substr(0, 42), "Code93", ascii.substr(0, 42), {}},
        {"Code 93 ASCII 43-84", 7, ascii.substr(42, 42), "Code93", ascii.substr(42, 42), {}},
        {"Code 93 ASCII 85-127", 7, ascii.substr(84), "Code93", ascii.substr(84), {}},
        {"Codabar every character", 6, "A0123456789-$:/.+B", "Codabar", "A0123456789-$:/.+B", CodabarStartStop()},
        {"Codabar C and D", 6, "C12345D", "Codabar", "C12345D", CodabarStartStop()},
        {"Codabar D and C", 6, "D12345C", "Codabar", "D12345C", CodabarStartStop()},
        // The reader drops FNC3 and FNC2 but reads their patterns and counts them in the check.
        {"Code 128 FNC3 and FNC2", 11, "\x90" "A\x91" "B", "Code128", "AB", {}},
    };
    for (const RoundTrip &c : cases) {
        const DecodedBarcode r = RenderAndDecode(c.type, c.text.c_str(), 1, c.options);
        ASSERT_TRUE(r.ok) << c.name;
        EXPECT_EQ(r.format, c.format) << c.name;
        EXPECT_EQ(r.bytes, c.decoded) << c.name;
    }
}
