#include "printer/RAZISettingPackage.h"

#include <vector>

#include "printer/PrinterTiming.h"

bool RAZISettingPackage::Setting_Hardware_FunctionSelect(const PrinterHardwareFunction* function) {
    if (function == nullptr) return false;
    int needed = 0;
    function->GetCmd(nullptr, 0, &needed, nullptr);
    if (needed <= 0) return false;
    std::vector<unsigned char> command(static_cast<size_t>(needed));
    int written = 0;
    function->GetCmd(command.data(), needed, nullptr, &written);
    if (written != needed) return false;
    const int sent = Write(command.data(), command.size(),
                           GetPrinterTiming().hardwareSettingWriteTimeoutMs);
    return sent == needed;
}
