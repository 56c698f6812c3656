// The module's two functions of its own: the library's version and the wide cells that
// wide-text calls take.

import CQuorvantelmise

/// The library's version text, as `CP_Library_Version` returns it.
public func CP_Library_Version_SwiftFunction() -> String {
    decodedText(cString: CQuorvantelmise.CP_Library_Version())
}

/// The wide-text cells of `str` for the library's `const wchar_t *` parameters: one cell per
/// UTF-16 code unit (a character above U+FFFF takes its two surrogates), zero-extended, then a
/// cell holding 0. The caller owns the cells and frees them with `deallocate()`.
public func CP_Utils_AllocateWCharPointerFromString(str: String) -> UnsafeMutablePointer<Int32> {
    let units = str.utf16
    let cells = UnsafeMutablePointer<Int32>.allocate(capacity: units.count + 1)
    var next = cells
    for unit in units {
        next.initialize(to: Int32(unit))
        next += 1
    }
    next.initialize(to: 0)
    return cells
}
