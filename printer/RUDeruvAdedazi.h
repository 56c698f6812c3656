#pragma once

#include "printer/NZPrinter.h"

// The label printer's command object.
class RUDeruvAdedazi : public NZPrinter {
public:
    // 1F 28 4C 04 00 53 tear print check: the low bytes of the two adjustments in dots
    // (defined with the status queries).
    bool SetLabelPositionAdjustment(int print_dots, int tear_dots);
};
