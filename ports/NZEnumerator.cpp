#include "ports/NZEnumerator.h"

#include <dirent.h>

#include <cstdlib>
#include <memory>

#include "base/NZStringUtils.h"
#include "base/ProcessSetting.h"
#include "quorvantelmise.h"

namespace {

ProcessSetting<DeviceDirectories>& directories() {
    static auto* setting = new ProcessSetting<DeviceDirectories>;
    return *setting;
}

const char* kComPrefixes[] = {"ttyS", "ttyUSB", nullptr};
const char* kLptPrefixes[] = {"lp", nullptr};
const char* kUsbPrefixes[] = {"lp", nullptr};

bool hasPrefix(const char* name, const char** prefixes) {
    if (prefixes == nullptr) return true;
    for (const char** prefix = prefixes; *prefix != nullptr; ++prefix)
        if (std::strncmp(name, *prefix, std::strlen(*prefix)) == 0) return true;
    return false;
}

}  // namespace

DeviceDirectories GetDeviceDirectories() { return directories().Get(); }

void SetDeviceDirectoriesForTesting(const DeviceDirectories& value) { directories().Set(value); }

unsigned int NZEnumerator::Enumerate(char*, unsigned int, unsigned int* required) {
    if (required != nullptr) *required = 0;
    return 0;
}

unsigned int NZEnumerator::EnumerateA(char* buffer, unsigned int size, unsigned int* required) {
    return Enumerate(buffer, size, required);
}

unsigned int NZEnumerator::EnumerateW(wchar_t* buffer, unsigned int size, unsigned int* required) {
    DeviceListWriter<wchar_t> list(buffer, size);
    unsigned int narrow_size = 0;
    EnumerateA(nullptr, 0, &narrow_size);
    if (narrow_size > 0) {
        std::unique_ptr<char, decltype(&std::free)> narrow(
            static_cast<char*>(std::calloc(narrow_size, 1)), &std::free);
        if (narrow != nullptr) {
            const unsigned int count = EnumerateA(narrow.get(), narrow_size, nullptr);
            for (const std::string& entry : SplitList(narrow.get(), count)) {
                std::unique_ptr<wchar_t, decltype(&std::free)> wide(
                    NZStringUtils::nzutils_mbstowcs_local(entry.c_str()), &std::free);
                if (wide != nullptr) list.Add(wide.get(), std::wcslen(wide.get()));
            }
        }
    }
    list.StoreRequired(required);
    return list.Count();
}

std::vector<std::string> NZEnumerator::SplitList(const char* list, unsigned int count) {
    std::vector<std::string> out;
    for (unsigned int i = 0; list != nullptr && i < count && *list != '\0'; ++i) {
        out.emplace_back(list);
        list += out.back().size() + 1;
    }
    return out;
}

unsigned int NZDirectoryList_ios::ListFiles(const char* directory, const char** prefixes,
                                            char* buffer, unsigned int size,
                                            unsigned int* required) {
    DeviceListWriter<char> list(buffer, size);
    struct CloseDir {
        void operator()(DIR* d) const { closedir(d); }
    };
    std::unique_ptr<DIR, CloseDir> dir(directory != nullptr ? opendir(directory) : nullptr);
    if (dir != nullptr) {
        while (const dirent* entry = readdir(dir.get())) {
            if (entry->d_type == DT_DIR || entry->d_name[0] == '\0') continue;
            if (!hasPrefix(entry->d_name, prefixes)) continue;
            const std::string path = std::string(directory) + "/" + entry->d_name;
            list.Add(path.c_str(), path.size());
        }
    }
    list.StoreRequired(required);
    return list.Count();
}

unsigned int NZComIOEnumerator_ios::Enumerate(char* buffer, unsigned int size,
                                              unsigned int* required) {
    return NZDirectoryList_ios::ListFiles(GetDeviceDirectories().com.c_str(), kComPrefixes,
                                          buffer, size, required);
}

unsigned int NZLptIOEnumerator_ios::Enumerate(char* buffer, unsigned int size,
                                              unsigned int* required) {
    return NZDirectoryList_ios::ListFiles(GetDeviceDirectories().lpt.c_str(), kLptPrefixes,
                                          buffer, size, required);
}

unsigned int NZUsbIOEnumerator_ios::Enumerate(char* buffer, unsigned int size,
                                              unsigned int* required) {
    return NZDirectoryList_ios::ListFiles(GetDeviceDirectories().usb.c_str(), kUsbPrefixes,
                                          buffer, size, required);
}

unsigned int EnumerateUsbDevices(char* buffer, unsigned int size, unsigned int* required) {
    NZUsbVidPidEnumerator_ios by_ids;
    NZUsbIOEnumerator_ios device_files;
    NZUsbProductSerialNumberEnumerator by_product;
    NZEnumerator* const enumerators[] = {&by_ids, &device_files, &by_product};
    if (buffer == nullptr) size = 0;
    unsigned int offset = 0, count = 0, total = 0;
    for (NZEnumerator* enumerator : enumerators) {
        unsigned int part_required = 0;
        char* at = buffer != nullptr ? buffer + offset : nullptr;
        const unsigned int part = enumerator->Enumerate(at, size - offset, &part_required);
        total += part_required;
        // Each list continues over the closing NUL of the one before.
        for (const std::string& entry : NZEnumerator::SplitList(at, part)) {
            offset += static_cast<unsigned int>(entry.size()) + 1;
            ++count;
        }
    }
    if (required != nullptr) *required = total;
    return count;
}

namespace {

// No exception leaves the interface: a list that ran out of memory reports nothing.
template <typename List>
unsigned int ExportedList(unsigned int* required, List&& list) noexcept {
    try {
        return list();
    } catch (...) {
        if (required != nullptr) *required = 0;
        return 0;
    }
}

}  // namespace

extern "C" {

CP_API unsigned int CP_Port_EnumCom(char* buffer, unsigned int size, unsigned int* required) {
    return ExportedList(required, [&] {
        return NZComIOEnumerator_ios().Enumerate(buffer, size, required);
    });
}

CP_API unsigned int CP_Port_EnumLpt(char* buffer, unsigned int size, unsigned int* required) {
    return ExportedList(required, [&] {
        return NZLptIOEnumerator_ios().Enumerate(buffer, size, required);
    });
}

CP_API unsigned int CP_Port_EnumUsb(char* buffer, unsigned int size, unsigned int* required) {
    return ExportedList(required, [&] { return EnumerateUsbDevices(buffer, size, required); });
}

}  // extern "C"
