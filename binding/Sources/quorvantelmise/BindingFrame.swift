// What every wrapper shares: how handles, integers, text, wide text, byte arrays and results
// cross between Swift and the library. Nothing here keeps state.
//
// A wrapper, in this order: returns its zero-handle result when `handle` is 0; narrows each
// Int with `narrowed` (a value outside the parameter's width returns the failure value and
// calls nothing); makes its text and wide cells and lends its arrays (refusing a count
// larger than the array); calls one exported function, qualified with `CQuorvantelmise.`;
// converts the result. Out-values go through zeroed local cells that are stored into the
// caller's inout variables only when the call succeeded.

import CQuorvantelmise

// MARK: Handles

/// The library's pointer for a binding handle: the same bit pattern, nil for 0.
@inline(__always)
func libraryHandle(_ handle: Int) -> UnsafeMutableRawPointer? {
    UnsafeMutableRawPointer(bitPattern: handle)
}

/// The binding handle for a pointer the library returned: its bit pattern, 0 for null.
@inline(__always)
func bindingHandle(_ pointer: UnsafeMutableRawPointer?) -> Int {
    Int(bitPattern: pointer)
}

// MARK: Integers

/// `value` in the parameter's width, or nil when it does not fit: never traps, never wraps.
///
///     guard let wait: UInt32 = narrowed(timeout) else { return -1 }
@inline(__always)
func narrowed<Width: FixedWidthInteger>(_ value: Int) -> Width? {
    Width(exactly: value)
}

/// A signed 32-bit value for a parameter the header declares `unsigned int` (the Velnor mode
/// of the open calls, say): narrowed to Int32, then passed with its bit pattern, as a C
/// caller's `int` would be.
@inline(__always)
func narrowedInt32Bits(_ value: Int) -> UInt32? {
    Int32(exactly: value).map { UInt32(bitPattern: $0) }
}

/// Whether the first `count` elements of an array of `arrayCount` elements exist, so the
/// library may be given `count`: false for a negative count or one beyond the array.
@inline(__always)
func countFits(_ count: Int, arrayCount: Int) -> Bool {
    count >= 0 && count <= arrayCount
}

// MARK: Results

/// An exported integer flag: any nonzero value, negative ones too, is true.
@inline(__always)
func flagResult(_ value: Int32) -> Bool {
    value != 0
}

/// An exported count or level, sign-extended: -1 stays -1.
@inline(__always)
func countResult(_ value: Int32) -> Int {
    Int(value)
}

// MARK: Text

/// The text of at most `capacity` bytes at `bytes`, up to the first NUL among them, decoded as
/// UTF-8 with each ill-formed sequence replaced by U+FFFD. Never reads past `capacity`; a null
/// pointer gives "".
func decodedText(_ bytes: UnsafePointer<CChar>?, capacity: Int) -> String {
    guard let bytes, capacity > 0 else { return "" }
    let raw = UnsafeRawBufferPointer(start: bytes, count: capacity)
    let length = raw.firstIndex(of: 0) ?? capacity
    return String(decoding: UnsafeRawBufferPointer(rebasing: raw[..<length]), as: UTF8.self)
}

/// The text of a buffer the library filled: at most all of its bytes, up to the first NUL.
func decodedText(_ buffer: [CChar]) -> String {
    buffer.withUnsafeBufferPointer { decodedText($0.baseAddress, capacity: $0.count) }
}

/// A NUL-terminated text from the library (a returned text, a callback's name), decoded as
/// UTF-8 with ill-formed sequences repaired; a null pointer gives "".
func decodedText(cString: UnsafePointer<CChar>?) -> String {
    guard let cString else { return "" }
    return String(cString: cString)
}

/// Runs `body` with the wide cells of `text` (see `CP_Utils_AllocateWCharPointerFromString`)
/// and frees them when it returns, whatever it returns: a wrapper that narrows inside `body`
/// and gives up leaks nothing.
func withWideCells<Result>(_ text: String,
                           _ body: (UnsafeMutablePointer<Int32>) -> Result) -> Result {
    let cells = CP_Utils_AllocateWCharPointerFromString(str: text)
    defer { cells.deallocate() }
    return body(cells)
}

// Narrow text needs no helper: `text.withCString { ... }` lends NUL-terminated UTF-8 for the
// call (an empty String as a single NUL; a U+0000 ends the text there).

// MARK: Byte arrays

/// Lends the array's element storage for the call. An empty array lends a valid address of no
/// bytes rather than null, so a count of 0 is the library's to judge, not a null buffer.
func withLentBytes<Result>(_ array: [UInt8], _ body: (UnsafePointer<UInt8>) -> Result) -> Result {
    array.withUnsafeBufferPointer { storage in
        if let start = storage.baseAddress { return body(start) }
        var none: UInt8 = 0
        return body(&none)
    }
}

/// Lends the caller's array in place for the library to fill from its first element; elements
/// the library does not write keep their values and the length never changes.
func withLentMutableBytes<Result>(_ array: inout [UInt8],
                                  _ body: (UnsafeMutablePointer<UInt8>) -> Result) -> Result {
    array.withUnsafeMutableBufferPointer { storage in
        if let start = storage.baseAddress { return body(start) }
        var none: UInt8 = 0
        return body(&none)
    }
}
