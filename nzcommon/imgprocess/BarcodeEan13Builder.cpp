#include "quorvantelmise.h"

namespace {

constexpr unsigned char lead_trailer[3] = {1, 0, 1};
constexpr unsigned char separator[5] = {0, 1, 0, 1, 0};
constexpr unsigned char quiet_zone[1] = {0};
constexpr unsigned char modules_odd_left[10][7] = {
    {0, 0, 0, 1, 1, 0, 1}, {0, 0, 1, 1, 0, 0, 1}, {0, 0, 1, 0, 0, 1, 1}, {0, 1, 1, 1, 1, 0, 1},
    {0, 1, 0, 0, 0, 1, 1}, {0, 1, 1, 0, 0, 0, 1}, {0, 1, 0, 1, 1, 1, 1}, {0, 1, 1, 1, 0, 1, 1},
    {0, 1, 1, 0, 1, 1, 1}, {0, 0, 0, 1, 0, 1, 1},
};
constexpr unsigned char modules_even_left[10][7] = {
    {0, 1, 0, 0, 1, 1, 1}, {0, 1, 1, 0, 0, 1, 1}, {0, 0, 1, 1, 0, 1, 1}, {0, 1, 0, 0, 0, 0, 1},
    {0, 0, 1, 1, 1, 0, 1}, {0, 1, 1, 1, 0, 0, 1}, {0, 0, 0, 0, 1, 0, 1}, {0, 0, 1, 0, 0, 0, 1},
    {0, 0, 0, 1, 0, 0, 1}, {0, 0, 1, 0, 1, 1, 1},
};
constexpr unsigned char modules_right[10][7] = {
    {1, 1, 1, 0, 0, 1, 0}, {1, 1, 0, 0, 1, 1, 0}, {1, 1, 0, 1, 1, 0, 0}, {1, 0, 0, 0, 0, 1, 0},
    {1, 0, 1, 1, 1, 0, 0}, {1, 0, 0, 1, 1, 1, 0}, {1, 0, 1, 0, 0, 0, 0}, {1, 0, 0, 0, 1, 0, 0},
    {1, 0, 0, 1, 0, 0, 0}, {1, 1, 1, 0, 1, 0, 0},
};
// Parity of left digits 2 to 6 by the first digit, 1 = even (G).
constexpr unsigned char parities[10][5] = {
    {0, 0, 0, 0, 0}, {0, 1, 0, 1, 1}, {0, 1, 1, 0, 1}, {0, 1, 1, 1, 0}, {1, 0, 0, 1, 1},
    {1, 1, 0, 0, 1}, {1, 1, 1, 0, 0}, {1, 0, 1, 0, 1}, {1, 0, 1, 1, 0}, {1, 1, 0, 1, 0},
};

constexpr int kWidth = 97;

unsigned char *Put(unsigned char *out, const unsigned char *modules, int n) {
    for (int i = 0; i < n; ++i) *out++ = modules[i];
    return out;
}

}  // namespace

int EAN13_width(void) { return kWidth; }

int EAN13_build(const char *str, unsigned char *pDst) {
    if (!str || !pDst) return -1;
    int d[13];
    for (int i = 0; i < 12; ++i) {
        if (str[i] < '0' || str[i] > '9') return -1;
        d[i] = str[i] - '0';
    }
    int odd = 0, even = 0;  // digits numbered from 1
    for (int i = 0; i < 12; ++i) (i % 2 ? even : odd) += d[i];
    d[12] = (10 - (3 * even + odd) % 10) % 10;
    unsigned char *out = Put(pDst, quiet_zone, 1);
    out = Put(out, lead_trailer, 3);
    out = Put(out, modules_odd_left[d[1]], 7);
    for (int i = 2; i < 7; ++i) out = Put(out, parities[d[0]][i - 2] ? modules_even_left[d[i]] : modules_odd_left[d[i]], 7);
    out = Put(out, separator, 5);
    for (int i = 7; i < 13; ++i) out = Put(out, modules_right[d[i]], 7);
    out = Put(out, lead_trailer, 3);
    Put(out, quiet_zone, 1);
    return 0;
}
