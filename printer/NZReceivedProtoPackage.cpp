#include "printer/NZReceivedProtoPackage.h"

#include <cstdlib>
#include <cstring>
#include <limits>

NZReceivedProtoPackage::NZReceivedProtoPackage() = default;

NZReceivedProtoPackage::NZReceivedProtoPackage(uint16_t cmd, uint32_t para,
                                               const unsigned char* bytes, uint64_t len)
{
    FillProtoPackage(cmd, para, bytes, len);
}

NZReceivedProtoPackage::NZReceivedProtoPackage(const NZReceivedProtoPackage& other)
{
    FillProtoPackage(other.command, other.parameter, other.data, other.length);
}

NZReceivedProtoPackage::NZReceivedProtoPackage(NZReceivedProtoPackage&& other) noexcept
    : command(other.command), parameter(other.parameter), data(other.data), length(other.length)
{
    other.InitProtoPackage();
}

NZReceivedProtoPackage& NZReceivedProtoPackage::operator=(const NZReceivedProtoPackage& other)
{
    if (this != &other) FillProtoPackage(other.command, other.parameter, other.data, other.length);
    return *this;
}

NZReceivedProtoPackage& NZReceivedProtoPackage::operator=(NZReceivedProtoPackage&& other) noexcept
{
    if (this != &other) {
        FreeProtoPackage();
        command = other.command;
        parameter = other.parameter;
        data = other.data;
        length = other.length;
        other.InitProtoPackage();
    }
    return *this;
}

NZReceivedProtoPackage::~NZReceivedProtoPackage() { FreeProtoPackage(); }

void NZReceivedProtoPackage::InitProtoPackage()
{
    command = 0;
    parameter = 0;
    data = nullptr;
    length = 0;
}

void NZReceivedProtoPackage::FillProtoPackage(uint16_t cmd, uint32_t para,
                                              const unsigned char* bytes, uint64_t len)
{
    // Copy before freeing: the source may be our own data.
    unsigned char* copy = nullptr;
    uint64_t copied = 0;
    if (bytes != nullptr && len > 0 && len <= std::numeric_limits<std::size_t>::max()) {
        copy = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(len)));
        if (copy != nullptr) {
            std::memcpy(copy, bytes, static_cast<std::size_t>(len));
            copied = len;
        }
    }
    std::free(data);
    command = cmd;
    parameter = para;
    data = copy;
    length = copied;
}

void NZReceivedProtoPackage::FreeProtoPackage()
{
    std::free(data);
    InitProtoPackage();
}
