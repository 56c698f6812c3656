#include "platform/CBUUID.h"

#include <cctype>

CBUUID::CBUUID(const std::string& text) : text_(text) {
    for (char& c : text_) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
