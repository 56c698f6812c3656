#pragma once

#include <string>

// A service or characteristic identifier, held and compared as its upper-case text
// ("2AF0", "E7810A71-73AE-499D-8C15-FAA9AEF0C3F2").
class CBUUID {
public:
    CBUUID() = default;
    explicit CBUUID(const std::string& text);
    const std::string& UUIDString() const { return text_; }
    friend bool operator==(const CBUUID& a, const CBUUID& b) { return a.text_ == b.text_; }

private:
    std::string text_;
};
