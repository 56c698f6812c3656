// Opening ports, writing and reading bytes, the state queries, the memory port's buffer and
// closing. Handles are the library's pointers as Int, 0 for none.

import CQuorvantelmise

// MARK: Opening

/// Connects to `dest_ip`:`dest_port` (dotted IPv4), binding to `local_ip` first unless it is
/// empty, giving up after `timeout` ms. Returns the handle, or 0.
public func CP_Port_OpenTcp(local_ip: String, dest_ip: String, dest_port: Int, timeout: Int,
                            velnormode: Int) -> Int {
    guard let port: UInt16 = narrowed(dest_port), let wait: UInt32 = narrowed(timeout),
          let mode = narrowedInt32Bits(velnormode) else { return 0 }
    return local_ip.withCString { local in
        dest_ip.withCString { dest in
            bindingHandle(CQuorvantelmise.CP_Port_OpenTcp(local, dest, port, wait, mode))
        }
    }
}

/// Opens the Bluetooth LE printer at `address` ("AA:BB:CC:DD:EE:FF") on the plain profile.
public func CP_Port_OpenBtBle(address: String, velnormode: Int) -> Int {
    openBle(address, velnormode, CQuorvantelmise.CP_Port_OpenBtBle)
}

/// As `CP_Port_OpenBtBle`, on the group-packet profile.
public func CP_Port_OpenBtBleProtoV2(address: String, velnormode: Int) -> Int {
    openBle(address, velnormode, CQuorvantelmise.CP_Port_OpenBtBleProtoV2)
}

/// As `CP_Port_OpenBtBle`, on the credit profile.
public func CP_Port_OpenBtBleProtoV3(address: String, velnormode: Int) -> Int {
    openBle(address, velnormode, CQuorvantelmise.CP_Port_OpenBtBleProtoV3)
}

/// As `CP_Port_OpenBtBle`, choosing the profile the printer offers.
public func CP_Port_OpenBtBleProtoVA(address: String, velnormode: Int) -> Int {
    openBle(address, velnormode, CQuorvantelmise.CP_Port_OpenBtBleProtoVA)
}

private func openBle(_ address: String, _ velnormode: Int,
                     _ open: (UnsafePointer<CChar>?, UInt32) -> UnsafeMutableRawPointer?) -> Int {
    guard let mode = narrowedInt32Bits(velnormode) else { return 0 }
    return address.withCString { bindingHandle(open($0, mode)) }
}

/// A write-only port keeping up to `buffer_size` bytes; 0 for a size of 0.
public func CP_Port_OpenMemoryBuffer(buffer_size: Int) -> Int {
    guard let size: UInt32 = narrowed(buffer_size) else { return 0 }
    return bindingHandle(CQuorvantelmise.CP_Port_OpenMemoryBuffer(size))
}

// MARK: The memory port's buffer

/// A copy of the bytes written to a memory port since it was opened or last cleared; empty
/// for handle 0 or a port that is not a memory port. Later writes and clears leave the copy
/// alone.
///
/// The bytes are copied after both library calls have returned, when the port no longer
/// holds its buffer for this call: a `CP_Port_Close` of the same port on another thread can
/// free the buffer during the copy. Close a memory port only when no thread reads it.
public func CP_Port_GetMemoryBufferData(handle: Int) -> [UInt8] {
    guard handle != 0 else { return [] }
    let port = libraryHandle(handle)
    let start = CQuorvantelmise.CP_Port_GetMemoryBufferDataPointer(port)
    let length = Int(CQuorvantelmise.CP_Port_GetMemoryBufferDataLength(port))
    guard let start else { return [] }
    return Array(UnsafeBufferPointer(start: start, count: length))
}

public func CP_Port_ClearMemoryBufferData(handle: Int) -> Bool {
    guard handle != 0 else { return false }
    return CQuorvantelmise.CP_Port_ClearMemoryBufferData(libraryHandle(handle))
}

// MARK: Writing and reading

/// Writes the first `count` bytes of `buffer` within `timeout` ms; the number written, or -1
/// (also for a count beyond the array).
public func CP_Port_Write(handle: Int, buffer: [UInt8], count: Int, timeout: Int) -> Int {
    guard handle != 0 else { return -1 }
    guard countFits(count, arrayCount: buffer.count), let length: UInt32 = narrowed(count),
          let wait: UInt32 = narrowed(timeout) else { return -1 }
    return withLentBytes(buffer) {
        countResult(CQuorvantelmise.CP_Port_Write(libraryHandle(handle), $0, length, wait))
    }
}

/// Moves up to `count` received bytes into `buffer` from its first element on, waiting up to
/// `timeout` ms; the number stored, or -1 (also for a count beyond the array). Elements past
/// the returned count keep their values.
public func CP_Port_Read(handle: Int, buffer: inout [UInt8], count: Int, timeout: Int) -> Int {
    guard handle != 0 else { return -1 }
    guard countFits(count, arrayCount: buffer.count), let length: Int32 = narrowed(count),
          let wait: UInt32 = narrowed(timeout) else { return -1 }
    return withLentMutableBytes(&buffer) {
        countResult(CQuorvantelmise.CP_Port_Read(libraryHandle(handle), $0, length, wait))
    }
}

/// As `CP_Port_Read`, returning as soon as `breakByte` was stored (and counted).
public func CP_Port_ReadUntilByte(handle: Int, buffer: inout [UInt8], count: Int, timeout: Int,
                                  breakByte: UInt8) -> Int {
    guard handle != 0 else { return -1 }
    guard countFits(count, arrayCount: buffer.count), let length: Int32 = narrowed(count),
          let wait: UInt32 = narrowed(timeout) else { return -1 }
    return withLentMutableBytes(&buffer) {
        countResult(CQuorvantelmise.CP_Port_ReadUntilByte(libraryHandle(handle), $0, length, wait,
                                                          breakByte))
    }
}

/// The number of received bytes waiting, or -1.
public func CP_Port_Available(handle: Int) -> Int {
    guard handle != 0 else { return -1 }
    return countResult(CQuorvantelmise.CP_Port_Available(libraryHandle(handle)))
}

/// Discards the received bytes waiting.
public func CP_Port_SkipAvailable(handle: Int) -> Bool {
    guard handle != 0 else { return false }
    return CQuorvantelmise.CP_Port_SkipAvailable(libraryHandle(handle))
}

// MARK: State and closing

/// Open and, in Velnor mode, with a recent status frame from the printer.
public func CP_Port_IsConnectionValid(handle: Int) -> Bool {
    guard handle != 0 else { return false }
    return CQuorvantelmise.CP_Port_IsConnectionValid(libraryHandle(handle))
}

public func CP_Port_IsOpened(handle: Int) -> Bool {
    guard handle != 0 else { return false }
    return CQuorvantelmise.CP_Port_IsOpened(libraryHandle(handle))
}

/// Closes the port; the handle must not be used afterwards. False for a handle that is not
/// open.
public func CP_Port_Close(handle: Int) -> Bool {
    guard handle != 0 else { return false }
    return CQuorvantelmise.CP_Port_Close(libraryHandle(handle))
}
