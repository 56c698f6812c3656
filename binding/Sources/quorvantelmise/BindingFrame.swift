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

/// The length argument and the width, height and stride of a pixel image call, narrowed; nil
/// when one does not fit, or when an array of `arrayCount` bytes holds fewer than the length
/// says or than the rows the call reads: `height` rows whose starts lie `stride` bytes apart,
/// `stride` × `height` bytes in all (as the library asks of its own length argument; a
/// height or stride below 1 reads nothing, and the library refuses it).
func narrowedPixelRows(length: Int, width: Int, height: Int, stride: Int, arrayCount: Int)
    -> (length: UInt32, width: Int32, height: Int32, stride: Int32)? {
    guard let narrowLength: UInt32 = narrowed(length), let narrowWidth: Int32 = narrowed(width),
          let narrowHeight: Int32 = narrowed(height), let narrowStride: Int32 = narrowed(stride),
          countFits(length, arrayCount: arrayCount) else { return nil }
    if height > 0 && stride > 0 && height * stride > arrayCount { return nil }
    return (narrowLength, narrowWidth, narrowHeight, narrowStride)
}

// MARK: Command calls

/// The flag of an exported command that takes only the handle; false for handle 0.
func commandCall(_ handle: Int, _ call: (UnsafeMutableRawPointer?) -> Int32) -> Bool {
    guard handle != 0 else { return false }
    return flagResult(call(libraryHandle(handle)))
}

/// The flag of an exported command that takes one signed 32-bit value after the handle; false
/// for handle 0 and, calling nothing, for a value that does not fit.
func commandCall(_ handle: Int, _ value: Int,
                 _ call: (UnsafeMutableRawPointer?, Int32) -> Int32) -> Bool {
    guard handle != 0 else { return false }
    guard let narrow: Int32 = narrowed(value) else { return false }
    return flagResult(call(libraryHandle(handle), narrow))
}

/// As the one-value `commandCall`, for two signed 32-bit values in this order.
func commandCall(_ handle: Int, _ first: Int, _ second: Int,
                 _ call: (UnsafeMutableRawPointer?, Int32, Int32) -> Int32) -> Bool {
    guard handle != 0 else { return false }
    guard let a: Int32 = narrowed(first), let b: Int32 = narrowed(second) else { return false }
    return flagResult(call(libraryHandle(handle), a, b))
}
