#include "nzcommon/imgprocess/BarcodePatternTables.h"

#include <cstring>

namespace nzbarcode {
namespace {

// A pattern written as '0'/'1' (or 'L'/'G', 'N'/'W'), placed so that its first element lands
// in bit `top`.
constexpr uint16_t Bits(const char *s, int top) {
    int n = 0;
    uint16_t v = 0;
    for (; s[n]; ++n) v = static_cast<uint16_t>((v << 1) | (s[n] == '1' || s[n] == 'G' || s[n] == 'W'));
    return static_cast<uint16_t>(v << (top + 1 - n));
}

constexpr uint8_t B8(const char *s) { return static_cast<uint8_t>(Bits(s, 7)); }

// Code 128 bar/space widths, six elements per value (seven for stop).
constexpr uint16_t Widths128(const char *w) {
    uint16_t v = 0;
    bool bar = true;
    for (int i = 0; i < 6; ++i, bar = !bar)
        for (int k = 0; k < w[i] - '0'; ++k) v = static_cast<uint16_t>((v << 1) | (bar ? 1 : 0));
    return v;
}

// Full-ASCII pairs of Code 39 and Code 93, per byte 0-127.
constexpr const char *kFullAscii[128] = {
    "%U", "$A", "$B", "$C", "$D", "$E", "$F", "$G", "$H", "$I", "$J", "$K", "$L", "$M", "$N", "$O",
    "$P", "$Q", "$R", "$S", "$T", "$U", "$V", "$W", "$X", "$Y", "$Z", "%A", "%B", "%C", "%D", "%E",
    " ",  "/A", "/B", "/C", "/D", "/E", "/F", "/G", "/H", "/I", "/J", "/K", "/L", "-",  ".",  "/O",
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "/Z", "%F", "%G", "%H", "%I", "%J",
    "%V", "A",  "B",  "C",  "D",  "E",  "F",  "G",  "H",  "I",  "J",  "K",  "L",  "M",  "N",  "O",
    "P",  "Q",  "R",  "S",  "T",  "U",  "V",  "W",  "X",  "Y",  "Z",  "%K", "%L", "%M", "%N", "%O",
    "%W", "+A", "+B", "+C", "+D", "+E", "+F", "+G", "+H", "+I", "+J", "+K", "+L", "+M", "+N", "+O",
    "+P", "+Q", "+R", "+S", "+T", "+U", "+V", "+W", "+X", "+Y", "+Z", "%P", "%Q", "%R", "%S", "%T",
};

// Code 39 codes a shift as the plain character; Code 93 has its own four, ($) (%) (/) (+).
constexpr uint8_t Shift39Value(char c) {
    switch (c) {
        case '$': return 39;
        case '/': return 40;
        case '+': return 41;
        case '%': return 42;
        default: return 0;
    }
}

constexpr uint8_t Shift93Value(char c) {
    switch (c) {
        case '$': return 43;
        case '%': return 44;
        case '/': return 45;
        case '+': return 46;
        default: return 0;
    }
}

struct ShiftTables {
    uint8_t set1_39[128]{};
    uint8_t set1_93[128]{};
    char set2[128]{};
};

constexpr ShiftTables MakeShiftTables() {
    ShiftTables t;
    for (int b = 0; b < 128; ++b) {
        const char *p = kFullAscii[b];
        if (p[1]) {
            t.set1_39[b] = Shift39Value(p[0]);
            t.set1_93[b] = Shift93Value(p[0]);
            t.set2[b] = p[1];
        } else {
            t.set2[b] = p[0];
        }
    }
    return t;
}

constexpr ShiftTables kShift = MakeShiftTables();

}  // namespace

const uint8_t tbl13o[11] = {B8("0001101"), B8("0011001"), B8("0010011"), B8("0111101"),
                            B8("0100011"), B8("0110001"), B8("0101111"), B8("0111011"),
                            B8("0110111"), B8("0001011"), 0};
const uint8_t tbl13e[11] = {B8("0100111"), B8("0110011"), B8("0011011"), B8("0100001"),
                            B8("0011101"), B8("0111001"), B8("0000101"), B8("0010001"),
                            B8("0001001"), B8("0010111"), 0};
const uint8_t tbl13r[11] = {B8("1110010"), B8("1100110"), B8("1101100"), B8("1000010"),
                            B8("1011100"), B8("1001110"), B8("1010000"), B8("1000100"),
                            B8("1001000"), B8("1110100"), 0};
const uint8_t EAN13Tbl[11] = {B8("LLLLLL"), B8("LLGLGG"), B8("LLGGLG"), B8("LLGGGL"),
                              B8("LGLLGG"), B8("LGGLLG"), B8("LGGGLL"), B8("LGLGLG"),
                              B8("LGLGGL"), B8("LGGLGL"), B8("LLLLLL")};
const uint8_t upctbl[10] = {B8("GGGLLL"), B8("GGLGLL"), B8("GGLLGL"), B8("GGLLLG"), B8("GLGGLL"),
                            B8("GLLGGL"), B8("GLLLGG"), B8("GLGLGL"), B8("GLGLLG"), B8("GLLGLG")};
const uint8_t EAN13_5Tbl[10] = {B8("GGLLL"), B8("GLGLL"), B8("GLLGL"), B8("GLLLG"), B8("LGGLL"),
                                B8("LLGGL"), B8("LLLGG"), B8("LGLGL"), B8("LGLLG"), B8("LLGLG")};

const uint8_t i25tbl[10] = {B8("NNWWN"), B8("WNNNW"), B8("NWNNW"), B8("WWNNN"), B8("NNWNW"),
                            B8("WNWNN"), B8("NWWNN"), B8("NNNWW"), B8("WNNWN"), B8("NWNWN")};

const char Code39Tbl[44] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
const uint16_t Code39BarTbl[44] = {
    Bits("000110100", 8), Bits("100100001", 8), Bits("001100001", 8), Bits("101100000", 8),
    Bits("000110001", 8), Bits("100110000", 8), Bits("001110000", 8), Bits("000100101", 8),
    Bits("100100100", 8), Bits("001100100", 8),  // 0-9
    Bits("100001001", 8), Bits("001001001", 8), Bits("101001000", 8), Bits("000011001", 8),
    Bits("100011000", 8), Bits("001011000", 8), Bits("000001101", 8), Bits("100001100", 8),
    Bits("001001100", 8), Bits("000011100", 8),  // A-J
    Bits("100000011", 8), Bits("001000011", 8), Bits("101000010", 8), Bits("000010011", 8),
    Bits("100010010", 8), Bits("001010010", 8), Bits("000000111", 8), Bits("100000110", 8),
    Bits("001000110", 8), Bits("000010110", 8),  // K-T
    Bits("110000001", 8), Bits("011000001", 8), Bits("111000000", 8), Bits("010010001", 8),
    Bits("110010000", 8), Bits("011010000", 8),  // U-Z
    Bits("010000101", 8), Bits("110000100", 8), Bits("011000100", 8), Bits("010101000", 8),
    Bits("010100010", 8), Bits("010001010", 8), Bits("000101010", 8),  // - . space $ / + %
    Bits("010010100", 8),                                              // start/stop
};

const uint16_t Code93BarTbl[48] = {
    0x114, 0x148, 0x144, 0x142, 0x128, 0x124, 0x122, 0x150, 0x112, 0x10A,  // 0-9
    0x1A8, 0x1A4, 0x1A2, 0x194, 0x192, 0x18A, 0x168, 0x164, 0x162, 0x134,  // A-J
    0x11A, 0x158, 0x14C, 0x146, 0x12C, 0x116, 0x1B4, 0x1B2, 0x1AC, 0x1A6,  // K-T
    0x196, 0x19A, 0x16C, 0x166, 0x136, 0x13A,                              // U-Z
    0x12E, 0x1D4, 0x1D2, 0x1CA, 0x16E, 0x176, 0x1AE,                       // - . space $ / + %
    0x126, 0x1DA, 0x1D6, 0x132,                                            // ($) (%) (/) (+)
    0x15E,                                                                 // start/stop
};

const uint8_t Code11BarTbl[12] = {
    static_cast<uint8_t>(Bits("00001", 4)), static_cast<uint8_t>(Bits("10001", 4)),
    static_cast<uint8_t>(Bits("01001", 4)), static_cast<uint8_t>(Bits("11000", 4)),
    static_cast<uint8_t>(Bits("00101", 4)), static_cast<uint8_t>(Bits("10100", 4)),
    static_cast<uint8_t>(Bits("01100", 4)), static_cast<uint8_t>(Bits("00011", 4)),
    static_cast<uint8_t>(Bits("10010", 4)), static_cast<uint8_t>(Bits("10000", 4)),
    static_cast<uint8_t>(Bits("00100", 4)), static_cast<uint8_t>(Bits("00110", 4)),
};

const char CodeBarCharTbl[21] = "0123456789-.$/+:ABCD";
const uint8_t CodeBarBarTbl[20] = {
    static_cast<uint8_t>(Bits("0000011", 6)), static_cast<uint8_t>(Bits("0000110", 6)),
    static_cast<uint8_t>(Bits("0001001", 6)), static_cast<uint8_t>(Bits("1100000", 6)),
    static_cast<uint8_t>(Bits("0010010", 6)), static_cast<uint8_t>(Bits("1000010", 6)),
    static_cast<uint8_t>(Bits("0100001", 6)), static_cast<uint8_t>(Bits("0100100", 6)),
    static_cast<uint8_t>(Bits("0110000", 6)), static_cast<uint8_t>(Bits("1001000", 6)),
    static_cast<uint8_t>(Bits("0001100", 6)),  // -
    static_cast<uint8_t>(Bits("1010100", 6)),  // .
    static_cast<uint8_t>(Bits("0011000", 6)),  // $
    static_cast<uint8_t>(Bits("1010001", 6)),  // /
    static_cast<uint8_t>(Bits("0010101", 6)),  // +
    static_cast<uint8_t>(Bits("1000101", 6)),  // :
    static_cast<uint8_t>(Bits("0011010", 6)), static_cast<uint8_t>(Bits("0101001", 6)),
    static_cast<uint8_t>(Bits("0001011", 6)), static_cast<uint8_t>(Bits("0001110", 6)),  // A-D
};

const uint16_t Code128BarTbl[107] = {
    Widths128("212222"), Widths128("222122"), Widths128("222221"), Widths128("121223"),
    Widths128("121322"), Widths128("131222"), Widths128("122213"), Widths128("122312"),
    Widths128("132212"), Widths128("221213"), Widths128("221312"), Widths128("231212"),
    Widths128("112232"), Widths128("122132"), Widths128("122231"), Widths128("113222"),
    Widths128("123122"), Widths128("123221"), Widths128("223211"), Widths128("221132"),
    Widths128("221231"), Widths128("213212"), Widths128("223112"), Widths128("312131"),
    Widths128("311222"), Widths128("321122"), Widths128("321221"), Widths128("312212"),
    Widths128("322112"), Widths128("322211"), Widths128("212123"), Widths128("212321"),
    Widths128("232121"), Widths128("111323"), Widths128("131123"), Widths128("131321"),
    Widths128("112313"), Widths128("132113"), Widths128("132311"), Widths128("211313"),
    Widths128("231113"), Widths128("231311"), Widths128("112133"), Widths128("112331"),
    Widths128("132131"), Widths128("113123"), Widths128("113321"), Widths128("133121"),
    Widths128("313121"), Widths128("211331"), Widths128("231131"), Widths128("213113"),
    Widths128("213311"), Widths128("213131"), Widths128("311123"), Widths128("311321"),
    Widths128("331121"), Widths128("312113"), Widths128("312311"), Widths128("332111"),
    Widths128("314111"), Widths128("221411"), Widths128("431111"), Widths128("111224"),
    Widths128("111422"), Widths128("121124"), Widths128("121421"), Widths128("141122"),
    Widths128("141221"), Widths128("112214"), Widths128("112412"), Widths128("122114"),
    Widths128("122411"), Widths128("142112"), Widths128("142211"), Widths128("241211"),
    Widths128("221114"), Widths128("413111"), Widths128("241112"), Widths128("134111"),
    Widths128("111242"), Widths128("121142"), Widths128("121241"), Widths128("114212"),
    Widths128("124112"), Widths128("124211"), Widths128("411212"), Widths128("421112"),
    Widths128("421211"), Widths128("212141"), Widths128("214121"), Widths128("412121"),
    Widths128("111143"), Widths128("111341"), Widths128("131141"), Widths128("114113"),
    Widths128("114311"), Widths128("411113"), Widths128("411311"), Widths128("113141"),
    Widths128("114131"), Widths128("311141"), Widths128("411131"), Widths128("211412"),
    Widths128("211214"), Widths128("211232"), Widths128("233111"),  // 103-105 starts, 106 stop
};

const uint8_t (&Shift39Set1)[128] = kShift.set1_39;
const uint8_t (&Shift93Set1)[128] = kShift.set1_93;
const char (&Shift93Set2)[128] = kShift.set2;

int Code39Index(uint8_t c) {
    if (c == 0) return -1;
    const char *p = static_cast<const char *>(std::memchr(Code39Tbl, c, 43));
    return p ? static_cast<int>(p - Code39Tbl) : -1;
}

}  // namespace nzbarcode
