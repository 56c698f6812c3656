// Black-mark paper: the VUZudIrazoro commands and their exported calls.
#include "printer/HandleCall.h"
#include "printer/VUZudIrazoro.h"
#include "quorvantelmise.h"

using handle_call::PosCommand;

namespace {

// Direction flag and magnitude of a signed distance, on its low 16 bits.
struct SignedDistance {
    int direction;
    int distance;
};

SignedDistance Split(int position) {
    const unsigned low = static_cast<unsigned>(position) & 0xFFFFu;
    if (position >= 0) return {0, static_cast<int>(low)};
    return {1, static_cast<int>((0x10000u - low) & 0xFFFFu)};
}

}  // namespace

bool VUZudIrazoro::POS_EnableBlackMarkMode() {
    static constexpr unsigned char command[] = {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x44};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_DisableBlackMarkMode() {
    static constexpr unsigned char command[] = {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x66};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_SetBlackMarkMaxFindLength(int max_find_length) {
    const unsigned char command[] = {0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06,
                                     Low8(max_find_length), High8(max_find_length)};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_FindBlackMark() {
    static constexpr unsigned char command[] = {0x1D, 0x0C};
    return WriteCommand(command);
}

bool VUZudIrazoro::WriteBlackMarkPosition(unsigned char function, int direction, int distance) {
    const unsigned char command[] = {0x1D, 0x28, 0x46, 0x04, 0x00, function,
                                     Low8(direction), Low8(distance), High8(distance)};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_SetBlackMarkPaperPrintPositionBase(int direction, int distance) {
    return WriteBlackMarkPosition(0x01, direction, distance);
}

bool VUZudIrazoro::POS_SetBlackMarkPaperPrintPosition(int position) {
    const SignedDistance d = Split(position);
    return POS_SetBlackMarkPaperPrintPositionBase(d.direction, d.distance);
}

bool VUZudIrazoro::POS_SetBlackMarkPaperCutPositionBase(int direction, int distance) {
    return WriteBlackMarkPosition(0x02, direction, distance);
}

bool VUZudIrazoro::POS_SetBlackMarkPaperCutPosition(int position) {
    const SignedDistance d = Split(position);
    return POS_SetBlackMarkPaperCutPositionBase(d.direction, d.distance);
}

bool VUZudIrazoro::POS_FullCutBlackMarkPaper() {
    static constexpr unsigned char command[] = {0x1D, 0x56, 0x00};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_HalfCutBlackMarkPaper() {
    static constexpr unsigned char command[] = {0x1D, 0x56, 0x01};
    return WriteCommand(command);
}

int CP_BlackMark_EnableBlackMarkMode(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_EnableBlackMarkMode(); });
}

int CP_BlackMark_DisableBlackMarkMode(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_DisableBlackMarkMode(); });
}

int CP_BlackMark_SetBlackMarkMaxFindLength(void* handle, int maxFindLength) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetBlackMarkMaxFindLength(maxFindLength);
    });
}

int CP_BlackMark_FindNextBlackMark(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_FindBlackMark(); });
}

int CP_BlackMark_SetBlackMarkPaperPrintPosition(void* handle, int position) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetBlackMarkPaperPrintPosition(position);
    });
}

int CP_BlackMark_SetBlackMarkPaperCutPosition(void* handle, int position) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetBlackMarkPaperCutPosition(position);
    });
}

int CP_BlackMark_FullCutBlackMarkPaper(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_FullCutBlackMarkPaper(); });
}

int CP_BlackMark_HalfCutBlackMarkPaper(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_HalfCutBlackMarkPaper(); });
}
