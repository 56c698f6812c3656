#pragma once

#include "printer/PrinterHardwareFunction.h"
#include "printer/RAZIHolder.h"

// Writes hardware setting records. It has no default timeout: each record is written with
// a fixed one of its own.
class RAZISettingPackage : public RAZIHolder {
public:
    // Encodes the record and writes it whole; false for a null record or a short write.
    bool Setting_Hardware_FunctionSelect(const PrinterHardwareFunction* function);
};
