// Black-mark paper (mode, mark search, print and cut positions, cuts) and label pages (mode,
// calibration, feeds, page begin and print, and the drawing commands). Every wrapper returns
// true when the library wrote its whole command.

import CQuorvantelmise

// MARK: Black-mark paper

public func CP_BlackMark_EnableBlackMarkMode(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_BlackMark_EnableBlackMarkMode)
}

public func CP_BlackMark_DisableBlackMarkMode(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_BlackMark_DisableBlackMarkMode)
}

public func CP_BlackMark_SetBlackMarkMaxFindLength(handle: Int, maxFindLength: Int) -> Bool {
    commandCall(handle, maxFindLength, CQuorvantelmise.CP_BlackMark_SetBlackMarkMaxFindLength)
}

public func CP_BlackMark_FindNextBlackMark(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_BlackMark_FindNextBlackMark)
}

/// Where printing starts, in dots from the mark; negative before it.
public func CP_BlackMark_SetBlackMarkPaperPrintPosition(handle: Int, position: Int) -> Bool {
    commandCall(handle, position, CQuorvantelmise.CP_BlackMark_SetBlackMarkPaperPrintPosition)
}

/// Where the cutter cuts, in dots from the mark; negative before it.
public func CP_BlackMark_SetBlackMarkPaperCutPosition(handle: Int, position: Int) -> Bool {
    commandCall(handle, position, CQuorvantelmise.CP_BlackMark_SetBlackMarkPaperCutPosition)
}

public func CP_BlackMark_FullCutBlackMarkPaper(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_BlackMark_FullCutBlackMarkPaper)
}

public func CP_BlackMark_HalfCutBlackMarkPaper(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_BlackMark_HalfCutBlackMarkPaper)
}

// MARK: Label mode and paper

public func CP_Label_EnableLabelMode(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Label_EnableLabelMode)
}

public func CP_Label_DisableLabelMode(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Label_DisableLabelMode)
}

public func CP_Label_CalibrateLabel(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Label_CalibrateLabel)
}

public func CP_Label_FeedLabel(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Label_FeedLabel)
}

public func CP_Label_BackPaperToPrintPosition(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Label_BackPaperToPrintPosition)
}

public func CP_Label_FeedPaperToTearPosition(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Label_FeedPaperToTearPosition)
}

// MARK: Label page

public func CP_Label_PageBegin(handle: Int, x: Int, y: Int, width: Int, height: Int,
                               rotation: CP_Label_Rotation) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let pageWidth: Int32 = narrowed(width), let pageHeight: Int32 = narrowed(height)
    else { return false }
    return flagResult(CQuorvantelmise.CP_Label_PageBegin(libraryHandle(handle), left, top,
                                                        pageWidth, pageHeight, rotation))
}

public func CP_Label_PagePrint(handle: Int, copies: Int) -> Bool {
    commandCall(handle, copies, CQuorvantelmise.CP_Label_PagePrint)
}

// MARK: Label text

/// The UTF-8 bytes of `str` up to a U+0000 in it.
public func CP_Label_DrawText(handle: Int, x: Int, y: Int, font: Int, style: Int,
                              str: String) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let fontNumber: Int32 = narrowed(font), let styleBits: Int32 = narrowed(style)
    else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Label_DrawText(libraryHandle(handle), left, top, fontNumber,
                                                    styleBits, $0))
    }
}

// The wide-text calls convert `str` to the named encoding in the library: false, with
// nothing sent, for text it cannot represent, a character above U+FFFF included (its two
// surrogate cells are no characters to the library).

public func CP_Label_DrawTextInUTF8(handle: Int, x: Int, y: Int, font: Int, style: Int,
                                    str: String) -> Bool {
    wideTextCall(handle, x, y, font, style, str, CQuorvantelmise.CP_Label_DrawTextInUTF8)
}

public func CP_Label_DrawTextInGBK(handle: Int, x: Int, y: Int, font: Int, style: Int,
                                   str: String) -> Bool {
    wideTextCall(handle, x, y, font, style, str, CQuorvantelmise.CP_Label_DrawTextInGBK)
}

private func wideTextCall(
    _ handle: Int, _ x: Int, _ y: Int, _ font: Int, _ style: Int, _ str: String,
    _ call: (UnsafeMutableRawPointer?, Int32, Int32, Int32, Int32, UnsafePointer<wchar_t>?) -> Int32
) -> Bool {
    guard handle != 0 else { return false }
    return withWideCells(str) { cells in
        guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
              let fontNumber: Int32 = narrowed(font), let styleBits: Int32 = narrowed(style)
        else { return false }
        return flagResult(call(libraryHandle(handle), left, top, fontNumber, styleBits, cells))
    }
}

// MARK: Label symbols

/// Sends the readable-text position first, as the receipt command; the result is that of the
/// label barcode command alone.
public func CP_Label_DrawBarcode(handle: Int, x: Int, y: Int, nBarcodeType: CP_Label_BarcodeType,
                                 nBarcodeTextPrintPosition: CP_Label_BarcodeTextPrintPosition,
                                 height: Int, unitwidth: Int, rotation: CP_Label_Rotation,
                                 str: String) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let barHeight: Int32 = narrowed(height), let unit: Int32 = narrowed(unitwidth)
    else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Label_DrawBarcode(
            libraryHandle(handle), left, top, nBarcodeType, nBarcodeTextPrintPosition, barHeight,
            unit, rotation, $0))
    }
}

public func CP_Label_DrawQRCode(handle: Int, x: Int, y: Int, nVersion: Int,
                                nECCLevel: CP_QRCodeECC, unitwidth: Int,
                                rotation: CP_Label_Rotation, str: String) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let version: Int32 = narrowed(nVersion), let unit: Int32 = narrowed(unitwidth)
    else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Label_DrawQRCode(libraryHandle(handle), left, top, version,
                                                      nECCLevel, unit, rotation, $0))
    }
}

/// `nECCLevel` is the PDF417 error-correction level, a plain number.
public func CP_Label_DrawPDF417Code(handle: Int, x: Int, y: Int, column: Int, nAspectRatio: Int,
                                    nECCLevel: Int, unitwidth: Int, rotation: CP_Label_Rotation,
                                    str: String) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let columns: Int32 = narrowed(column), let aspect: Int32 = narrowed(nAspectRatio),
          let level: Int32 = narrowed(nECCLevel), let unit: Int32 = narrowed(unitwidth)
    else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Label_DrawPDF417Code(
            libraryHandle(handle), left, top, columns, aspect, level, unit, rotation, $0))
    }
}

// MARK: Label images

/// The image file at `pszFile`, scaled to `dstw` × `dsth` dots (a side of 0 or less follows
/// the other and the aspect ratio; both: the image's own size); compression
/// `CP_ImageCompressionMethod_None` or `_Jbig`.
public func CP_Label_DrawImageFromFile(handle: Int, x: Int, y: Int, dstw: Int, dsth: Int,
                                       pszFile: String,
                                       binarization_method: CP_ImageBinarizationMethod,
                                       compression_method: CP_ImageCompressionMethod) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let width: Int32 = narrowed(dstw), let height: Int32 = narrowed(dsth)
    else { return false }
    return pszFile.withCString {
        flagResult(CQuorvantelmise.CP_Label_DrawImageFromFile(
            libraryHandle(handle), left, top, width, height, $0, binarization_method,
            compression_method))
    }
}

/// As `CP_Label_DrawImageFromFile`, for the encoded image in the first `data_size` bytes of
/// `data`; false, calling nothing, when `data` holds fewer.
public func CP_Label_DrawImageFromData(handle: Int, x: Int, y: Int, dstw: Int, dsth: Int,
                                       data: [UInt8], data_size: Int,
                                       binarization_method: CP_ImageBinarizationMethod,
                                       compression_method: CP_ImageCompressionMethod) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let width: Int32 = narrowed(dstw), let height: Int32 = narrowed(dsth),
          let size: UInt32 = narrowed(data_size), countFits(data_size, arrayCount: data.count)
    else { return false }
    return withLentBytes(data) {
        flagResult(CQuorvantelmise.CP_Label_DrawImageFromData(
            libraryHandle(handle), left, top, width, height, $0, size, binarization_method,
            compression_method))
    }
}

/// `img_height` rows of `img_width` pixels of `img_format` whose starts lie `img_stride` bytes
/// apart, at their own size. False, calling nothing, when `img_data` holds fewer than
/// `img_stride` × `img_height` bytes or fewer than `img_datalen`.
public func CP_Label_DrawImageFromPixels(handle: Int, x: Int, y: Int, img_data: [UInt8],
                                         img_datalen: Int, img_width: Int, img_height: Int,
                                         img_stride: Int, img_format: CP_ImagePixelsFormat,
                                         binarization_method: CP_ImageBinarizationMethod,
                                         compression_method: CP_ImageCompressionMethod) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let rows = narrowedPixelRows(length: img_datalen, width: img_width, height: img_height,
                                       stride: img_stride, arrayCount: img_data.count)
    else { return false }
    return withLentBytes(img_data) {
        flagResult(CQuorvantelmise.CP_Label_DrawImageFromPixels(
            libraryHandle(handle), left, top, $0, rows.length, rows.width, rows.height, rows.stride,
            img_format, binarization_method, compression_method))
    }
}

// MARK: Label shapes

public func CP_Label_DrawLine(handle: Int, startx: Int, starty: Int, endx: Int, endy: Int,
                              linewidth: Int, linecolor: CP_Label_Color) -> Bool {
    guard handle != 0 else { return false }
    guard let x0: Int32 = narrowed(startx), let y0: Int32 = narrowed(starty),
          let x1: Int32 = narrowed(endx), let y1: Int32 = narrowed(endy),
          let lineWidth: Int32 = narrowed(linewidth) else { return false }
    return flagResult(CQuorvantelmise.CP_Label_DrawLine(libraryHandle(handle), x0, y0, x1, y1,
                                                       lineWidth, linecolor))
}

/// A filled rectangle, sent by its corners (x, y) and (x + width, y + height).
public func CP_Label_DrawRect(handle: Int, x: Int, y: Int, width: Int, height: Int,
                              color: CP_Label_Color) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let rectWidth: Int32 = narrowed(width), let rectHeight: Int32 = narrowed(height)
    else { return false }
    return flagResult(CQuorvantelmise.CP_Label_DrawRect(libraryHandle(handle), left, top, rectWidth,
                                                       rectHeight, color))
}

/// A box with a border of `borderwidth` dots, sent by its corners as `CP_Label_DrawRect`.
public func CP_Label_DrawBox(handle: Int, x: Int, y: Int, width: Int, height: Int,
                             borderwidth: Int, bordercolor: CP_Label_Color) -> Bool {
    guard handle != 0 else { return false }
    guard let left: Int32 = narrowed(x), let top: Int32 = narrowed(y),
          let boxWidth: Int32 = narrowed(width), let boxHeight: Int32 = narrowed(height),
          let border: Int32 = narrowed(borderwidth) else { return false }
    return flagResult(CQuorvantelmise.CP_Label_DrawBox(libraryHandle(handle), left, top, boxWidth,
                                                      boxHeight, border, bordercolor))
}
