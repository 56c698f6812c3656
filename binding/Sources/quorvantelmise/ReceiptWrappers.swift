// Receipt commands: the two blocking queries, drawer, beeper, cutting and feeding, text,
// barcodes, QR codes, PDF417, raster images, lines, and the print, character and text
// settings. Every wrapper returns true when the library wrote its whole command.

import CQuorvantelmise

// MARK: Queries

/// The printer's four real-time status bytes, the first read in bits 0 to 7, sign-extended
/// from 32 bits (so negative when the fourth byte is 0x80 or more): the value the
/// `CP_RTSTATUS_*` tests take. 0 when no reply came within `timeout` ms, and for handle 0.
public func CP_Pos_QueryRTStatus(handle: Int, timeout: Int) -> Int {
    guard handle != 0 else { return 0 }
    guard let wait: UInt32 = narrowed(timeout) else { return 0 }
    let status = CQuorvantelmise.CP_Pos_QueryRTStatus(libraryHandle(handle), wait)
    return Int(Int32(bitPattern: status))
}

/// Whether the printer confirmed, within `timeout` ms, everything sent before.
public func CP_Pos_QueryPrintResult(handle: Int, timeout: Int) -> Bool {
    guard handle != 0 else { return false }
    guard let wait: UInt32 = narrowed(timeout) else { return false }
    return CQuorvantelmise.CP_Pos_QueryPrintResult(libraryHandle(handle), wait)
}

// MARK: Drawer, beeper, cutting and feeding

public func CP_Pos_KickOutDrawer(handle: Int, nDrawerIndex: Int, nHighLevelTime: Int,
                                 nLowLevelTime: Int) -> Bool {
    guard handle != 0 else { return false }
    guard let drawer: Int32 = narrowed(nDrawerIndex), let high: Int32 = narrowed(nHighLevelTime),
          let low: Int32 = narrowed(nLowLevelTime) else { return false }
    return flagResult(CQuorvantelmise.CP_Pos_KickOutDrawer(libraryHandle(handle), drawer, high,
                                                          low))
}

/// Beeps `nBeepCount` times for `nBeepMs` ms each (sent in units of 100 ms).
public func CP_Pos_Beep(handle: Int, nBeepCount: Int, nBeepMs: Int) -> Bool {
    commandCall(handle, nBeepCount, nBeepMs, CQuorvantelmise.CP_Pos_Beep)
}

public func CP_Pos_FeedAndHalfCutPaper(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Pos_FeedAndHalfCutPaper)
}

public func CP_Pos_FullCutPaper(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Pos_FullCutPaper)
}

public func CP_Pos_HalfCutPaper(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Pos_HalfCutPaper)
}

public func CP_Pos_FeedLine(handle: Int, numLines: Int) -> Bool {
    commandCall(handle, numLines, CQuorvantelmise.CP_Pos_FeedLine)
}

/// Feeds `numDots` dots, in steps of at most 255.
public func CP_Pos_FeedDot(handle: Int, numDots: Int) -> Bool {
    commandCall(handle, numDots, CQuorvantelmise.CP_Pos_FeedDot)
}

public func CP_Pos_PrintSelfTestPage(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Pos_PrintSelfTestPage)
}

// MARK: Text

/// Sends the UTF-8 bytes of `str` unchanged, up to a U+0000 in it (no line feed).
public func CP_Pos_PrintText(handle: Int, str: String) -> Bool {
    guard handle != 0 else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Pos_PrintText(libraryHandle(handle), $0))
    }
}

// The wide-text calls take one cell per UTF-16 unit: the library reads each cell as a
// character, so a character above U+FFFF (two surrogate cells) makes the conversion, and the
// call, fail with nothing sent. Such text goes as UTF-8 through CP_Pos_PrintText.

/// `str` converted to UTF-8 by the library.
public func CP_Pos_PrintTextInUTF8(handle: Int, str: String) -> Bool {
    wideTextCall(handle, str, CQuorvantelmise.CP_Pos_PrintTextInUTF8)
}

/// `str` converted to GBK; false, with nothing sent, when GBK cannot represent it.
public func CP_Pos_PrintTextInGBK(handle: Int, str: String) -> Bool {
    wideTextCall(handle, str, CQuorvantelmise.CP_Pos_PrintTextInGBK)
}

public func CP_Pos_PrintTextInBIG5(handle: Int, str: String) -> Bool {
    wideTextCall(handle, str, CQuorvantelmise.CP_Pos_PrintTextInBIG5)
}

public func CP_Pos_PrintTextInShiftJIS(handle: Int, str: String) -> Bool {
    wideTextCall(handle, str, CQuorvantelmise.CP_Pos_PrintTextInShiftJIS)
}

public func CP_Pos_PrintTextInEUCKR(handle: Int, str: String) -> Bool {
    wideTextCall(handle, str, CQuorvantelmise.CP_Pos_PrintTextInEUCKR)
}

private func wideTextCall(
    _ handle: Int, _ str: String,
    _ call: (UnsafeMutableRawPointer?, UnsafePointer<wchar_t>?) -> Int32
) -> Bool {
    guard handle != 0 else { return false }
    return withWideCells(str) { flagResult(call(libraryHandle(handle), $0)) }
}

// MARK: Barcodes, QR codes and PDF417

public func CP_Pos_PrintBarcode(handle: Int, nBarcodeType: CP_Pos_BarcodeType,
                                str: String) -> Bool {
    guard handle != 0 else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Pos_PrintBarcode(libraryHandle(handle), nBarcodeType, $0))
    }
}

/// A CODE128 barcode whose code sets the library chooses for `str`.
public func CP_Pos_PrintBarcode_Code128Auto(handle: Int, str: String) -> Bool {
    guard handle != 0 else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Pos_PrintBarcode_Code128Auto(libraryHandle(handle), $0))
    }
}

public func CP_Pos_PrintQRCode(handle: Int, nVersion: Int, nECCLevel: CP_QRCodeECC,
                               str: String) -> Bool {
    guard handle != 0 else { return false }
    guard let version: Int32 = narrowed(nVersion) else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Pos_PrintQRCode(libraryHandle(handle), version, nECCLevel,
                                                      $0))
    }
}

public func CP_Pos_PrintQRCodeUseEpsonCmd(handle: Int, nQRCodeUnitWidth: Int,
                                          nECCLevel: CP_QRCodeECC, str: String) -> Bool {
    guard handle != 0 else { return false }
    guard let unitWidth: Int32 = narrowed(nQRCodeUnitWidth) else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Pos_PrintQRCodeUseEpsonCmd(libraryHandle(handle), unitWidth,
                                                                 nECCLevel, $0))
    }
}

/// Two QR codes side by side, `strQR1` at `nQR1Position` and `strQR2` at `nQR2Position`.
public func CP_Pos_PrintDoubleQRCode(handle: Int, nQRCodeUnitWidth: Int, nQR1Position: Int,
                                     nQR1Version: Int, nQR1ECCLevel: CP_QRCodeECC, strQR1: String,
                                     nQR2Position: Int, nQR2Version: Int,
                                     nQR2ECCLevel: CP_QRCodeECC, strQR2: String) -> Bool {
    guard handle != 0 else { return false }
    guard let unitWidth: Int32 = narrowed(nQRCodeUnitWidth),
          let position1: Int32 = narrowed(nQR1Position),
          let version1: Int32 = narrowed(nQR1Version),
          let position2: Int32 = narrowed(nQR2Position),
          let version2: Int32 = narrowed(nQR2Version)
    else { return false }
    return strQR1.withCString { text1 in
        strQR2.withCString { text2 in
            flagResult(CQuorvantelmise.CP_Pos_PrintDoubleQRCode(
                libraryHandle(handle), unitWidth, position1, version1, nQR1ECCLevel, text1,
                position2, version2, nQR2ECCLevel, text2))
        }
    }
}

public func CP_Pos_PrintPDF417BarcodeUseEpsonCmd(handle: Int, columnCount: Int, rowCount: Int,
                                                 unitWidth: Int, rowHeight: Int, nECCLevel: Int,
                                                 dataProcessingMode: Int, str: String) -> Bool {
    guard handle != 0 else { return false }
    guard let columns: Int32 = narrowed(columnCount), let rows: Int32 = narrowed(rowCount),
          let width: Int32 = narrowed(unitWidth), let height: Int32 = narrowed(rowHeight),
          let level: Int32 = narrowed(nECCLevel), let mode: Int32 = narrowed(dataProcessingMode)
    else { return false }
    return str.withCString {
        flagResult(CQuorvantelmise.CP_Pos_PrintPDF417BarcodeUseEpsonCmd(
            libraryHandle(handle), columns, rows, width, height, level, mode, $0))
    }
}

// MARK: Raster images

/// The image file at `pszFile`, scaled to `dstw` × `dsth` dots (a side of 0 or less follows
/// the other and the aspect ratio; both: the image's own size).
public func CP_Pos_PrintRasterImageFromFile(handle: Int, dstw: Int, dsth: Int, pszFile: String,
                                            binarization_method: CP_ImageBinarizationMethod,
                                            compression_method: CP_ImageCompressionMethod) -> Bool {
    guard handle != 0 else { return false }
    guard let width: Int32 = narrowed(dstw), let height: Int32 = narrowed(dsth) else {
        return false
    }
    return pszFile.withCString {
        flagResult(CQuorvantelmise.CP_Pos_PrintRasterImageFromFile(
            libraryHandle(handle), width, height, $0, binarization_method, compression_method))
    }
}

/// As `CP_Pos_PrintRasterImageFromFile`, for the encoded image in the first `data_size` bytes
/// of `data`; false, calling nothing, when `data` holds fewer.
public func CP_Pos_PrintRasterImageFromData(handle: Int, dstw: Int, dsth: Int, data: [UInt8],
                                            data_size: Int,
                                            binarization_method: CP_ImageBinarizationMethod,
                                            compression_method: CP_ImageCompressionMethod) -> Bool {
    guard handle != 0 else { return false }
    guard let width: Int32 = narrowed(dstw), let height: Int32 = narrowed(dsth),
          let size: UInt32 = narrowed(data_size), countFits(data_size, arrayCount: data.count)
    else { return false }
    return withLentBytes(data) {
        flagResult(CQuorvantelmise.CP_Pos_PrintRasterImageFromData(
            libraryHandle(handle), width, height, $0, size, binarization_method,
            compression_method))
    }
}

/// `img_height` rows of `img_width` pixels of `img_format` whose starts lie `img_stride` bytes
/// apart, at their own size. False, calling nothing, when `img_data` holds fewer than
/// `img_stride` × `img_height` bytes or fewer than `img_datalen`.
public func CP_Pos_PrintRasterImageFromPixels(
    handle: Int, img_data: [UInt8], img_datalen: Int, img_width: Int, img_height: Int,
    img_stride: Int, img_format: CP_ImagePixelsFormat,
    binarization_method: CP_ImageBinarizationMethod, compression_method: CP_ImageCompressionMethod
) -> Bool {
    guard handle != 0 else { return false }
    guard let rows = narrowedPixelRows(length: img_datalen, width: img_width, height: img_height,
                                       stride: img_stride, arrayCount: img_data.count)
    else { return false }
    return withLentBytes(img_data) {
        flagResult(CQuorvantelmise.CP_Pos_PrintRasterImageFromPixels(
            libraryHandle(handle), $0, rows.length, rows.width, rows.height, rows.stride,
            img_format, binarization_method, compression_method))
    }
}

// MARK: Lines

public func CP_Pos_PrintHorizontalLine(handle: Int, nLineStartPosition: Int,
                                       nLineEndPosition: Int) -> Bool {
    commandCall(handle, nLineStartPosition, nLineEndPosition,
                CQuorvantelmise.CP_Pos_PrintHorizontalLine)
}

/// `nLineThickness` dot rows of the line (at least 1).
public func CP_Pos_PrintHorizontalLineSpecifyThickness(handle: Int, nLineStartPosition: Int,
                                                       nLineEndPosition: Int,
                                                       nLineThickness: Int) -> Bool {
    guard handle != 0 else { return false }
    guard let start: Int32 = narrowed(nLineStartPosition),
          let end: Int32 = narrowed(nLineEndPosition),
          let thickness: Int32 = narrowed(nLineThickness) else { return false }
    return flagResult(CQuorvantelmise.CP_Pos_PrintHorizontalLineSpecifyThickness(
        libraryHandle(handle), start, end, thickness))
}

/// `nLineCount` lines (at most 255) on one dot row, line i from `pLineStartPosition[i]` to
/// `pLineEndPosition[i]`; longer arrays are not an error. False, calling nothing, for a
/// negative count, a count beyond either array, or a position that does not fit 32 bits.
public func CP_Pos_PrintMultipleHorizontalLinesAtOneRow(handle: Int, nLineCount: Int,
                                                        pLineStartPosition: [Int],
                                                        pLineEndPosition: [Int]) -> Bool {
    guard handle != 0 else { return false }
    guard let count: Int32 = narrowed(nLineCount),
          countFits(nLineCount, arrayCount: pLineStartPosition.count),
          countFits(nLineCount, arrayCount: pLineEndPosition.count),
          let starts = lineCells(pLineStartPosition.prefix(nLineCount)),
          let ends = lineCells(pLineEndPosition.prefix(nLineCount)) else { return false }
    return starts.withUnsafeBufferPointer { start in
        ends.withUnsafeBufferPointer { end in
            flagResult(CQuorvantelmise.CP_Pos_PrintMultipleHorizontalLinesAtOneRow(
                libraryHandle(handle), count, start.baseAddress, end.baseAddress))
        }
    }
}

/// The positions as the library's 32-bit cells, nil when one does not fit. There is always
/// a cell, so that a count of 0 lends an address rather than null.
private func lineCells(_ positions: ArraySlice<Int>) -> [Int32]? {
    var cells: [Int32] = []
    cells.reserveCapacity(max(positions.count, 1))
    for position in positions {
        guard let cell: Int32 = narrowed(position) else { return nil }
        cells.append(cell)
    }
    if cells.isEmpty { cells.append(0) }
    return cells
}

// MARK: Printer settings

public func CP_Pos_ResetPrinter(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Pos_ResetPrinter)
}

public func CP_Pos_SetPrintSpeed(handle: Int, nSpeed: Int) -> Bool {
    commandCall(handle, nSpeed, CQuorvantelmise.CP_Pos_SetPrintSpeed)
}

public func CP_Pos_SetPrintDensity(handle: Int, nDensity: Int) -> Bool {
    commandCall(handle, nDensity, CQuorvantelmise.CP_Pos_SetPrintDensity)
}

public func CP_Pos_SetSingleByteMode(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Pos_SetSingleByteMode)
}

public func CP_Pos_SetCharacterSet(handle: Int, nCharacterSet: CP_CharacterSet) -> Bool {
    commandCall(handle) { CQuorvantelmise.CP_Pos_SetCharacterSet($0, nCharacterSet) }
}

public func CP_Pos_SetCharacterCodepage(handle: Int,
                                        nCharacterCodepage: CP_CharacterCodepage) -> Bool {
    commandCall(handle) { CQuorvantelmise.CP_Pos_SetCharacterCodepage($0, nCharacterCodepage) }
}

public func CP_Pos_SetMultiByteMode(handle: Int) -> Bool {
    commandCall(handle, CQuorvantelmise.CP_Pos_SetMultiByteMode)
}

public func CP_Pos_SetMultiByteEncoding(handle: Int, nEncoding: CP_MultiByteEncoding) -> Bool {
    commandCall(handle) { CQuorvantelmise.CP_Pos_SetMultiByteEncoding($0, nEncoding) }
}

// MARK: Movement unit, print area and print position

public func CP_Pos_SetMovementUnit(handle: Int, nHorizontalMovementUnit: Int,
                                   nVerticalMovementUnit: Int) -> Bool {
    commandCall(handle, nHorizontalMovementUnit, nVerticalMovementUnit,
                CQuorvantelmise.CP_Pos_SetMovementUnit)
}

public func CP_Pos_SetPrintAreaLeftMargin(handle: Int, nLeftMargin: Int) -> Bool {
    commandCall(handle, nLeftMargin, CQuorvantelmise.CP_Pos_SetPrintAreaLeftMargin)
}

public func CP_Pos_SetPrintAreaWidth(handle: Int, nWidth: Int) -> Bool {
    commandCall(handle, nWidth, CQuorvantelmise.CP_Pos_SetPrintAreaWidth)
}

public func CP_Pos_SetHorizontalAbsolutePrintPosition(handle: Int, nPosition: Int) -> Bool {
    commandCall(handle, nPosition, CQuorvantelmise.CP_Pos_SetHorizontalAbsolutePrintPosition)
}

/// Moves by `nPosition` motion units, backwards when negative.
public func CP_Pos_SetHorizontalRelativePrintPosition(handle: Int, nPosition: Int) -> Bool {
    commandCall(handle, nPosition, CQuorvantelmise.CP_Pos_SetHorizontalRelativePrintPosition)
}

public func CP_Pos_SetVerticalAbsolutePrintPosition(handle: Int, nPosition: Int) -> Bool {
    commandCall(handle, nPosition, CQuorvantelmise.CP_Pos_SetVerticalAbsolutePrintPosition)
}

/// Moves by `nPosition` motion units, backwards when negative.
public func CP_Pos_SetVerticalRelativePrintPosition(handle: Int, nPosition: Int) -> Bool {
    commandCall(handle, nPosition, CQuorvantelmise.CP_Pos_SetVerticalRelativePrintPosition)
}

public func CP_Pos_SetAlignment(handle: Int, nAlignment: CP_Pos_Alignment) -> Bool {
    commandCall(handle) { CQuorvantelmise.CP_Pos_SetAlignment($0, nAlignment) }
}

// MARK: Text style

/// Character width and height scales, 0 (× 1) to 7 (× 8) each.
public func CP_Pos_SetTextScale(handle: Int, nWidthScale: Int, nHeightScale: Int) -> Bool {
    commandCall(handle, nWidthScale, nHeightScale, CQuorvantelmise.CP_Pos_SetTextScale)
}

public func CP_Pos_SetAsciiTextFontType(handle: Int, nFontType: Int) -> Bool {
    commandCall(handle, nFontType, CQuorvantelmise.CP_Pos_SetAsciiTextFontType)
}

public func CP_Pos_SetTextBold(handle: Int, nBold: Int) -> Bool {
    commandCall(handle, nBold, CQuorvantelmise.CP_Pos_SetTextBold)
}

public func CP_Pos_SetTextUnderline(handle: Int, nUnderline: Int) -> Bool {
    commandCall(handle, nUnderline, CQuorvantelmise.CP_Pos_SetTextUnderline)
}

public func CP_Pos_SetTextUpsideDown(handle: Int, nUpsideDown: Int) -> Bool {
    commandCall(handle, nUpsideDown, CQuorvantelmise.CP_Pos_SetTextUpsideDown)
}

public func CP_Pos_SetTextWhiteOnBlack(handle: Int, nWhiteOnBlack: Int) -> Bool {
    commandCall(handle, nWhiteOnBlack, CQuorvantelmise.CP_Pos_SetTextWhiteOnBlack)
}

public func CP_Pos_SetTextRotate(handle: Int, nRotate: Int) -> Bool {
    commandCall(handle, nRotate, CQuorvantelmise.CP_Pos_SetTextRotate)
}

public func CP_Pos_SetTextLineHeight(handle: Int, nLineHeight: Int) -> Bool {
    commandCall(handle, nLineHeight, CQuorvantelmise.CP_Pos_SetTextLineHeight)
}

public func CP_Pos_SetAsciiTextCharRightSpacing(handle: Int, nSpacing: Int) -> Bool {
    commandCall(handle, nSpacing, CQuorvantelmise.CP_Pos_SetAsciiTextCharRightSpacing)
}

public func CP_Pos_SetKanjiTextCharSpacing(handle: Int, nLeftSpacing: Int,
                                           nRightSpacing: Int) -> Bool {
    commandCall(handle, nLeftSpacing, nRightSpacing, CQuorvantelmise.CP_Pos_SetKanjiTextCharSpacing)
}

// MARK: Barcode settings

public func CP_Pos_SetBarcodeUnitWidth(handle: Int, nBarcodeUnitWidth: Int) -> Bool {
    commandCall(handle, nBarcodeUnitWidth, CQuorvantelmise.CP_Pos_SetBarcodeUnitWidth)
}

public func CP_Pos_SetBarcodeHeight(handle: Int, nBarcodeHeight: Int) -> Bool {
    commandCall(handle, nBarcodeHeight, CQuorvantelmise.CP_Pos_SetBarcodeHeight)
}

public func CP_Pos_SetBarcodeReadableTextFontType(handle: Int, nFontType: Int) -> Bool {
    commandCall(handle, nFontType, CQuorvantelmise.CP_Pos_SetBarcodeReadableTextFontType)
}

public func CP_Pos_SetBarcodeReadableTextPosition(
    handle: Int, nTextPosition: CP_Pos_BarcodeTextPrintPosition) -> Bool {
    commandCall(handle) { CQuorvantelmise.CP_Pos_SetBarcodeReadableTextPosition($0, nTextPosition) }
}
