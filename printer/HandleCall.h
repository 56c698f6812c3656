#pragma once

// The calling pattern of every exported command call: refuse a null or unregistered
// handle, hold a reference for the length of the call, release it however the call ends,
// and let no exception out.

#include <type_traits>
#include <utility>

#include "ports/IOHandle.h"

namespace handle_call {

// work(IOHandle&) under a reference to handle; failure for a null or unregistered handle
// and when work throws.
template <typename Result, typename Work>
Result WithHandle(void* handle, Result failure, Work&& work) noexcept {
    try {
        IOHandleRef ref(handle);
        if (!ref) return failure;
        return std::forward<Work>(work)(*ref.get());
    } catch (...) {
        return failure;
    }
}

// A command call: 1 when work returned true, else 0.
template <typename Work>
int Command(void* handle, Work&& work) noexcept {
    return WithHandle(handle, 0, [&](IOHandle& io_handle) {
        return std::forward<Work>(work)(io_handle) ? 1 : 0;
    });
}

// Receipt, page-mode and black-mark commands, on the handle's VUZudIrazoro. work may also
// take the handle's PrinterProperty, for the calls that cache what they sent.
template <typename Work>
int PosCommand(void* handle, Work&& work) noexcept {
    return Command(handle, [&](IOHandle& io_handle) {
        if constexpr (std::is_invocable_v<Work, VUZudIrazoro&>) {
            return std::forward<Work>(work)(io_handle.posPrinter);
        } else {
            return std::forward<Work>(work)(io_handle.posPrinter, io_handle.printerProperty);
        }
    });
}

// Label commands, on the handle's RUDeruvAdedazi.
template <typename Work>
int LabelCommand(void* handle, Work&& work) noexcept {
    return Command(handle, [&](IOHandle& io_handle) {
        return std::forward<Work>(work)(io_handle.labelPrinter);
    });
}

// Hardware setting records, on the handle's RAZISettingPackage.
template <typename Work>
int SettingsCommand(void* handle, Work&& work) noexcept {
    return Command(handle, [&](IOHandle& io_handle) {
        return std::forward<Work>(work)(io_handle.settingPackage);
    });
}

}  // namespace handle_call
