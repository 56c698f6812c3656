// Decodes rendered barcodes with ZXing-C++ for round-trip tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedBarcode {
    bool ok = false;
    std::string format;
    std::string text;   // as the reader reports it
    std::string bytes;  // raw content
    std::string symbologyId;
};

struct DecodeOptions {
    bool code39Extended = false;
    bool code39Check = false;
    bool itfCheck = false;
    bool codabarStartStop = false;
    bool requireAddOn = false;
};

// Decodes a Code 128 row of one byte per module (non-zero = bar); the raw content, or "".
std::string DecodeModuleBytes(const std::vector<unsigned char> &modules);

// Renders `text` as renderer type `type` and decodes it, padded with a white quiet zone.
DecodedBarcode RenderAndDecode(int type, const char *text, int unit, const DecodeOptions &options = {});
