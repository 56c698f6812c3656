// The printer's maintenance values over the framed maintenance protocol (battery level,
// serial number, names, the basic parameter block) and its print speed through the
// hardware-setting record.

import CQuorvantelmise

/// The size of the reply buffer of `CP_Proto_QuerySerialNumber`.
private let serialNumberCapacity = 256

/// The battery level the printer reports, or -1 when no reply came within `timeout` ms.
/// Leaves the handle's protocol work enabled.
public func CP_Proto_QueryBatteryLevel(handle: Int, timeout: Int) -> Int {
    guard handle != 0 else { return -1 }
    guard let wait: UInt32 = narrowed(timeout) else { return -1 }
    return countResult(CQuorvantelmise.CP_Proto_QueryBatteryLevel(libraryHandle(handle), wait))
}

/// The printer's serial number up to its first NUL (at most 256 bytes of it), "" for a reply
/// without data, nil when no reply came within `timeout` ms. Leaves the handle's protocol
/// work enabled.
public func CP_Proto_QuerySerialNumber(handle: Int, timeout: Int) -> String? {
    guard handle != 0 else { return nil }
    var reply = [CChar](repeating: 0, count: serialNumberCapacity)
    guard let capacity: UInt32 = narrowed(reply.count), let wait: UInt32 = narrowed(timeout)
    else { return nil }
    let copied = reply.withUnsafeMutableBufferPointer {
        CQuorvantelmise.CP_Proto_QuerySerialNumber(libraryHandle(handle), $0.baseAddress, capacity,
                                                   wait)
    }
    // A full buffer holds no NUL: the text ends with the buffer.
    return copied < 0 ? nil : decodedText(reply)
}

/// Sends both texts, each with its NUL, in one packet; false, with nothing sent, when their
/// UTF-8 bytes and the two NULs take more than 256 bytes.
public func CP_Proto_SetSystemNameAndSerialNumber(handle: Int, systemName: String,
                                                  serialNumber: String) -> Bool {
    textPairCall(handle, systemName, serialNumber,
                 CQuorvantelmise.CP_Proto_SetSystemNameAndSerialNumber)
}

/// As `CP_Proto_SetSystemNameAndSerialNumber`, for the Bluetooth name and password.
public func CP_Proto_SetBluetoothNameAndPassword(handle: Int, bluetoothName: String,
                                                 bluetoothPassword: String) -> Bool {
    textPairCall(handle, bluetoothName, bluetoothPassword,
                 CQuorvantelmise.CP_Proto_SetBluetoothNameAndPassword)
}

private func textPairCall(
    _ handle: Int, _ first: String, _ second: String,
    _ call: (UnsafeMutableRawPointer?, UnsafePointer<CChar>?, UnsafePointer<CChar>?) -> Bool
) -> Bool {
    guard handle != 0 else { return false }
    return first.withCString { a in second.withCString { b in call(libraryHandle(handle), a, b) } }
}

/// The basic parameter block, sent in one packet without awaiting a reply. Every value is a
/// signed 32-bit number; the printer takes the low byte of the four single-byte settings and
/// the low 16 bits of the four times and lengths.
public func CP_Proto_SetPTPBasicParameters(handle: Int, baudrate: Int, codepage: Int, density: Int,
                                           asciiFontType: Int, lineFeed: Int, idleTime: Int,
                                           powerOffTime: Int, maxFeedLength: Int,
                                           pageLength: Int) -> Bool {
    guard handle != 0 else { return false }
    guard let baud = narrowedInt32Bits(baudrate), let page: Int32 = narrowed(codepage),
          let dark: Int32 = narrowed(density), let font: Int32 = narrowed(asciiFontType),
          let feed: Int32 = narrowed(lineFeed), let idle: Int32 = narrowed(idleTime),
          let powerOff: Int32 = narrowed(powerOffTime),
          let maxFeed: Int32 = narrowed(maxFeedLength), let length: Int32 = narrowed(pageLength)
    else { return false }
    return CQuorvantelmise.CP_Proto_SetPTPBasicParameters(libraryHandle(handle), baud, page, dark,
                                                          font, feed, idle, powerOff, maxFeed,
                                                          length)
}

/// Stores the print speed in the printer.
public func CP_Settings_Hardware_SetPrintSpeed(handle: Int, nSpeed: Int) -> Bool {
    commandCall(handle, nSpeed, CQuorvantelmise.CP_Settings_Hardware_SetPrintSpeed)
}
