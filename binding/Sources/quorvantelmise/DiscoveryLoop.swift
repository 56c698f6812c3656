// Discovery of network and Bluetooth LE printers with a closure per find, stopped early through
// a loop controller.
//
// Both calls block their caller for the whole search. The closures run on the library's
// threads, never the caller's: for network printers on its reader threads (two for each local
// IPv4 interface, so several at once), for Bluetooth LE on the central's queue. None runs
// after the call returned.

import CQuorvantelmise

/// The cell a search polls: 0 to go on, nonzero to stop. A cancelled controller ends every
/// later search at once until `enableLoop()`; one controller may serve several searches.
public class CP_LoopController {
    public let cancel: UnsafeMutablePointer<Int32>

    public init() {
        cancel = UnsafeMutablePointer<Int32>.allocate(capacity: 1)
        cancel.initialize(to: 0)
    }

    deinit {
        cancel.deinitialize(count: 1)
        cancel.deallocate()
    }

    // Atomic stores, from any thread: the library's polling threads load the cell atomically.
    public func enableLoop() {
        CQuorvantelmise_StoreInt32Atomically(cancel, 0)
    }

    public func cancelLoop() {
        CQuorvantelmise_StoreInt32Atomically(cancel, 1)
    }
}

/// Carries the closure of one network search through the library's private pointer.
public class CP_OnNetPrinterDiscovered_SwiftCallbackHandler {
    public let callback: (String, String, String, String) -> Void

    public init(callback: @escaping (String, String, String, String) -> Void) {
        self.callback = callback
    }
}

/// Carries the closure of one Bluetooth LE search through the library's private pointer.
public class CP_OnBluetoothDeviceDiscovered_SwiftCallbackHandler {
    public let callback: (String, String) -> Void

    public init(callback: @escaping (String, String) -> Void) {
        self.callback = callback
    }
}

/// The handler behind a search's private pointer, neither retained nor released: the search
/// call holds it until the library's last callback has returned.
@inline(__always)
private func handler<Handler: AnyObject>(_ private_data: UnsafeRawPointer?) -> Handler? {
    private_data.map { Unmanaged<Handler>.fromOpaque($0).takeUnretainedValue() }
}

/// Broadcasts discovery queries on every local IPv4 interface until `timeout` ms (whole
/// seconds, rounded up) have passed or `cancel` is cancelled, calling `on_discovered` with
/// (local address, MAC "AA-BB-CC-DD-EE-FF", printer address, name) for every reply, repeats
/// included. A timeout outside 0...4294967295 searches nothing.
public func CP_Port_EnumNetPrinter(timeout: Int, cancel: CP_LoopController,
                                   on_discovered: @escaping (String, String, String, String) -> Void) {
    guard let wait: UInt32 = narrowed(timeout) else { return }
    let found = CP_OnNetPrinterDiscovered_SwiftCallbackHandler(callback: on_discovered)
    let on_discovered_c: CP_OnNetPrinterDiscovered = { local_ip, mac, ip, name, private_data in
        guard let found: CP_OnNetPrinterDiscovered_SwiftCallbackHandler = handler(private_data)
        else { return }
        found.callback(decodedText(cString: local_ip), decodedText(cString: mac),
                       decodedText(cString: ip), decodedText(cString: name))
    }
    withExtendedLifetime((found, cancel)) {
        CQuorvantelmise.CP_Port_EnumNetPrinter(wait, cancel.cancel, on_discovered_c,
                                               Unmanaged.passUnretained(found).toOpaque())
    }
}

/// Scans for Bluetooth LE printers until `timeout` ms (whole seconds, rounded up) have passed
/// or `cancel` is cancelled, calling `on_discovered` with (name, address "AA:BB:CC:DD:EE:FF")
/// for every advertisement; a printer without a name comes as "null". Returns at once when
/// no scan can start (no radio) or the timeout is outside 0...4294967295.
public func CP_Port_EnumBleDevice(timeout: Int, cancel: CP_LoopController,
                                  on_discovered: @escaping (String, String) -> Void) {
    guard let wait: UInt32 = narrowed(timeout) else { return }
    let found = CP_OnBluetoothDeviceDiscovered_SwiftCallbackHandler(callback: on_discovered)
    let on_discovered_c: CP_OnBluetoothDeviceDiscovered = { name, address, private_data in
        guard let found: CP_OnBluetoothDeviceDiscovered_SwiftCallbackHandler = handler(private_data)
        else { return }
        found.callback(decodedText(cString: name), decodedText(cString: address))
    }
    withExtendedLifetime((found, cancel)) {
        _ = CQuorvantelmise.CP_Port_EnumBleDevice(wait, cancel.cancel, on_discovered_c,
                                                  Unmanaged.passUnretained(found).toOpaque())
    }
}
