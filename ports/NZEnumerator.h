// Device enumeration: the lists of port names an application could open.
//
// A device list is a run of NUL-terminated entries followed by one more NUL. An enumeration
// returns the number of entries copied and reports, through an optional pointer, the size
// the whole list needs: the sum over every entry found, copied or not, of its length + 2
// characters. An entry is copied only when it fits with its NUL and the closing NUL; one that
// does not is skipped, and later, shorter ones may still be copied. Nothing is written when
// nothing is copied. A null buffer has no room, whatever size comes with it.
#pragma once

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

// Appends entries to a device list of CharT in a caller's buffer of size_bytes bytes.
template <typename CharT>
class DeviceListWriter {
public:
    DeviceListWriter(CharT* buffer, unsigned int size_bytes)
        : at_(buffer), left_(buffer != nullptr ? size_bytes : 0) {}

    void Add(const CharT* text, size_t length) {
        const size_t with_nul = length + 1;
        const size_t needed = (with_nul + 1) * sizeof(CharT);
        required_ += static_cast<unsigned int>(needed);
        if (left_ < needed) return;
        std::memcpy(at_, text, length * sizeof(CharT));
        at_[length] = CharT(0);
        at_[with_nul] = CharT(0);
        at_ += with_nul;
        left_ -= with_nul * sizeof(CharT);
        ++count_;
    }

    unsigned int Count() const { return count_; }
    unsigned int Required() const { return required_; }
    void StoreRequired(unsigned int* required) const {
        if (required != nullptr) *required = required_;
    }

private:
    CharT* at_;
    size_t left_;
    unsigned int count_ = 0;
    unsigned int required_ = 0;
};

class NZEnumerator {
public:
    virtual ~NZEnumerator() = default;

    // This base lists nothing.
    virtual unsigned int Enumerate(char* buffer, unsigned int size, unsigned int* required);
    virtual unsigned int EnumerateA(char* buffer, unsigned int size, unsigned int* required);
    // The narrow list converted with the environment locale (entries that do not convert
    // are left out); size and the required size count bytes.
    virtual unsigned int EnumerateW(wchar_t* buffer, unsigned int size, unsigned int* required);

    // The first count entries of a device list.
    static std::vector<std::string> SplitList(const char* list, unsigned int count);
};

// Device files of one directory whose names begin with one of the prefixes.
class NZDirectoryList_ios {
public:
    // prefixes: a null-terminated table, or null for every name. Directories and empty names
    // are left out; entries are "directory/name" in the directory's order. A directory that
    // cannot be opened gives 0 and a required size of 0.
    static unsigned int ListFiles(const char* directory, const char** prefixes, char* buffer,
                                  unsigned int size, unsigned int* required);
};

// Where the device files are looked for. The defaults are the system's; tests point them at
// a directory of their own.
struct DeviceDirectories {
    std::string com = "/dev";
    std::string lpt = "/dev";
    std::string usb = "/dev/usb";
};
DeviceDirectories GetDeviceDirectories();
void SetDeviceDirectoriesForTesting(const DeviceDirectories& directories);

class NZComIOEnumerator : public NZEnumerator {};
class NZComIOEnumerator_ios : public NZComIOEnumerator {
public:
    // Serial devices: "ttyS" and "ttyUSB" files.
    unsigned int Enumerate(char* buffer, unsigned int size, unsigned int* required) override;
};

class NZLptIOEnumerator : public NZEnumerator {};
class NZLptIOEnumerator_ios : public NZLptIOEnumerator {
public:
    // Parallel devices: "lp" files.
    unsigned int Enumerate(char* buffer, unsigned int size, unsigned int* required) override;
};

class NZUsbIOEnumerator : public NZEnumerator {};
class NZUsbIOEnumerator_ios : public NZUsbIOEnumerator {
public:
    // USB printers: "lp" files of the USB directory.
    unsigned int Enumerate(char* buffer, unsigned int size, unsigned int* required) override;
};

// Not reachable on this platform: empty lists.
class NZUsbVidPidEnumerator : public NZEnumerator {};
class NZUsbVidPidEnumerator_ios : public NZUsbVidPidEnumerator {};
class NZUsbProductSerialNumberEnumerator : public NZEnumerator {};

// The USB list: the vendor/product-id, device-file and product/serial enumerators in turn,
// each continuing the list where the previous one ended.
unsigned int EnumerateUsbDevices(char* buffer, unsigned int size, unsigned int* required);
