// Page mode: the printer composes a page in its memory and prints it whole. The drawing
// calls place their item in the page area last set, along the draw direction last set; x
// and y are dots there, or CP_Page_Position_Start, _Center or _End (passed unchanged).

import CQuorvantelmise

// MARK: Page

public func CP_Page_SelectPageMode(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Page_SelectPageMode)
}

/// Page mode with a page area and the usual text and barcode settings, sent in order; false
/// at the first that fails (those before it stay sent).
public func CP_Page_SelectPageModeEx(handle: Int, nHorizontalMovementUnit: Int,
                                     nVerticalMovementUnit: Int, x: Int, y: Int, width: Int,
                                     height: Int) -> Bool {
    guard handle != 0 else { return false }
    guard let horizontal: Int32 = narrowed(nHorizontalMovementUnit),
          let vertical: Int32 = narrowed(nVerticalMovementUnit), let left: Int32 = narrowed(x),
          let top: Int32 = narrowed(y), let areaWidth: Int32 = narrowed(width),
          let areaHeight: Int32 = narrowed(height) else { return false }
    return flagResult(CQuorvantelmise.CP_Page_SelectPageModeEx(
        libraryHandle(handle), horizontal, vertical, left, top, areaWidth, areaHeight))
}

public func CP_Page_ExitPageMode(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Page_ExitPageMode)
}

public func CP_Page_PrintPage(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Page_PrintPage)
}

public func CP_Page_ClearPage(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Page_ClearPage)
}

public func CP_Page_SetPageArea(handle: Int, x: Int, y: Int, width: Int, height: Int) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let areaWidth: Int32 = narrowed(width), let areaHeight: Int32 = narrowed(height)
    else { return false }
    return flagResult(CQuorvantelmise.CP_Page_SetPageArea(libraryHandle(handle), left, top,
                                                         areaWidth, areaHeight))
}

public func CP_Page_SetPageDrawDirection(handle: Int, nDirection: CP_Page_DrawDirection) -> Bool {
    commandCall(handle) { CQuorvantelmise.CP_Page_SetPageDrawDirection($0, nDirection) }
}

// MARK: Shapes

/// A filled rectangle of `width` × `height` dots in `color`.
public func CP_Page_DrawRect(handle: Int, x: Int, y: Int, width: Int, height: Int,
                             color: Int) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let rectWidth: Int32 = narrowed(width), let rectHeight: Int32 = narrowed(height),
          let fill: Int32 = narrowed(color) else { return false }
    return flagResult(CQuorvantelmise.CP_Page_DrawRect(libraryHandle(handle), left, top, rectWidth,
                                                      rectHeight, fill))
}

/// A rectangle in `bordercolor` whose inside, `borderwidth` dots in, is the other colour.
public func CP_Page_DrawBox(handle: Int, x: Int, y: Int, width: Int, height: Int,
                            borderwidth: Int, bordercolor: Int) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let boxWidth: Int32 = narrowed(width), let boxHeight: Int32 = narrowed(height),
          let border: Int32 = narrowed(borderwidth), let colour: Int32 = narrowed(bordercolor)
    else { return false }
    return flagResult(CQuorvantelmise.CP_Page_DrawBox(libraryHandle(handle), left, top, boxWidth,
                                                     boxHeight, border, colour))
}

// MARK: Text

/// The UTF-8 bytes of `str` up to a U+0000 in it, placed on its baseline (measured in the
/// process's locale).
public func CP_Page_DrawText(handle: Int, x: Int, y: Int, str: String) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y) else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Page_DrawText(libraryHandle(handle), left, top, $0))
    }
}

// The wide-text calls convert `str` to the named encoding in the library: false, with
// nothing drawn, for text it cannot represent, a character above U+FFFF included (its two
// surrogate cells are no characters to the library).

public func CP_Page_DrawTextInUTF8(handle: Int, x: Int, y: Int, str: String) -> Bool {
    wideTextCall(handle, x, y, str, CQuorvantelmise.CP_Page_DrawTextInUTF8)
}

public func CP_Page_DrawTextInGBK(handle: Int, x: Int, y: Int, str: String) -> Bool {
    wideTextCall(handle, x, y, str, CQuorvantelmise.CP_Page_DrawTextInGBK)
}

public func CP_Page_DrawTextInBIG5(handle: Int, x: Int, y: Int, str: String) -> Bool {
    wideTextCall(handle, x, y, str, CQuorvantelmise.CP_Page_DrawTextInBIG5)
}

public func CP_Page_DrawTextInShiftJIS(handle: Int, x: Int, y: Int, str: String) -> Bool {
    wideTextCall(handle, x, y, str, CQuorvantelmise.CP_Page_DrawTextInShiftJIS)
}

public func CP_Page_DrawTextInEUCKR(handle: Int, x: Int, y: Int, str: String) -> Bool {
    wideTextCall(handle, x, y, str, CQuorvantelmise.CP_Page_DrawTextInEUCKR)
}

private func wideTextCall(
    _ handle: Int, _ x: Int, _ y: Int, _ str: String,
    _ call: (UnsafeMutableRawPointer?, Int32, Int32, UnsafePointer<wchar_t>?) -> Int32
) -> Bool {
    guard handle != 0 else { return false }
    return withWideCells(str) { cells in
        guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y) else { return false }
        return flagResult(call(libraryHandle(handle), left, top, cells))
    }
}

// MARK: Symbols

/// A barcode at the barcode unit width, height and readable-text settings last sent.
public func CP_Page_DrawBarcode(handle: Int, x: Int, y: Int, nBarcodeType: CP_Pos_BarcodeType,
                                str: String) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y) else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Page_DrawBarcode(libraryHandle(handle), left, top,
                                                      nBarcodeType, $0))
    }
}

/// A QR code whose modules are the barcode unit width last sent.
public func CP_Page_DrawQRCode(handle: Int, x: Int, y: Int, nVersion: Int,
                               nECCLevel: CP_QRCodeECC, str: String) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let version: Int32 = narrowed(nVersion) else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Page_DrawQRCode(libraryHandle(handle), left, top, version,
                                                     nECCLevel, $0))
    }
}

// MARK: Raster images

/// The image file at `pszFile`, scaled to `dstw` × `dsth` dots (a side of 0 or less follows
/// the other and the aspect ratio; both: the image's own size).
public func CP_Page_DrawRasterImageFromFile(
    handle: Int, x: Int, y: Int, dstw: Int, dsth: Int, pszFile: String,
    binarization_method: CP_ImageBinarizationMethod
) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let width: Int32 = narrowed(dstw), let height: Int32 = narrowed(dsth)
    else { return false }
    return pszFile.withCString {
        flagResult(CQuorvantelmise.CP_Page_DrawRasterImageFromFile(
            libraryHandle(handle), left, top, width, height, $0, binarization_method))
    }
}

/// As `CP_Page_DrawRasterImageFromFile`, for the encoded image in the first `data_size` bytes
/// of `data`; false, calling nothing, when `data` holds fewer.
public func CP_Page_DrawRasterImageFromData(
    handle: Int, x: Int, y: Int, dstw: Int, dsth: Int, data: [UInt8], data_size: Int,
    binarization_method: CP_ImageBinarizationMethod
) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let width: Int32 = narrowed(dstw), let height: Int32 = narrowed(dsth),
          let size: UInt32 = narrowed(data_size), countFits(data_size, arrayCount: data.count)
    else { return false }
    return withLentBytes(data) {
        flagResult(CQuorvantelmise.CP_Page_DrawRasterImageFromData(
            libraryHandle(handle), left, top, width, height, $0, size, binarization_method))
    }
}

/// `img_height` rows of `img_width` pixels of `img_format` whose starts lie `img_stride` bytes
/// apart, at their own size. False, calling nothing, when `img_data` holds fewer than
/// `img_stride` × `img_height` bytes or fewer than `img_datalen`.
public func CP_Page_DrawRasterImageFromPixels(
    handle: Int, x: Int, y: Int, img_data: [UInt8], img_datalen: Int, img_width: Int,
    img_height: Int, img_stride: Int, img_format: CP_ImagePixelsFormat,
    binarization_method: CP_ImageBinarizationMethod
) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let rows = narrowedPixelRows(length: img_datalen, width: img_width, height: img_height,
                                       stride: img_stride, arrayCount: img_data.count)
    else { return false }
    return withLentBytes(img_data) {
        flagResult(CQuorvantelmise.CP_Page_DrawRasterImageFromPixels(
            libraryHandle(handle), left, top, $0, rows.length, rows.width, rows.height, rows.stride,
            img_format, binarization_method))
    }
}
