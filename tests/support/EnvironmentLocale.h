#pragma once
// Sets LC_ALL in the environment (which the library's locale conversions follow) for the
// life of the object, then puts back what was there.
#include <cstdlib>
#include <string>

namespace qvtest {

class EnvironmentLocale {
public:
    explicit EnvironmentLocale(const char* name) {
        const char* old = std::getenv("LC_ALL");
        had_ = old != nullptr;
        if (had_) saved_ = old;
        setenv("LC_ALL", name, 1);
    }
    ~EnvironmentLocale() {
        if (had_) {
            setenv("LC_ALL", saved_.c_str(), 1);
        } else {
            unsetenv("LC_ALL");
        }
    }
    EnvironmentLocale(const EnvironmentLocale&) = delete;
    EnvironmentLocale& operator=(const EnvironmentLocale&) = delete;

private:
    bool had_ = false;
    std::string saved_;
};

}  // namespace qvtest
