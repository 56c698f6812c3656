import Testing
import quorvantelmise

// Rows of a 10 x 2 mono image whose starts lie 3 bytes apart, with bits past the width
// (which the library clears) and a stride byte that is not image.
private let monoRows: [UInt8] = [0xFF, 0xFF, 0x11, 0xAA, 0x55, 0x22]

/// The mono rows as a pixel image of `height` rows `stride` bytes apart.
private func printMonoRows(_ port: Int, length: Int = 6, height: Int = 2, stride: Int = 3) -> Bool {
    CP_Pos_PrintRasterImageFromPixels(handle: port, img_data: monoRows, img_datalen: length,
                                      img_width: 10, img_height: height, img_stride: stride,
                                      img_format: CP_ImagePixelsFormat_Mono,
                                      binarization_method: threshold, compression_method: plain)
}

/// The BMP of `alternatingDotsBMP()`, of which the first `size` bytes are offered.
private func printDotsImage(_ port: Int, dstw: Int = 8, size: (Int) -> Int = { $0 }) -> Bool {
    let bmp = alternatingDotsBMP()
    return CP_Pos_PrintRasterImageFromData(handle: port, dstw: dstw, dsth: 2, data: bmp + [0x42],
                                           data_size: size(bmp.count),
                                           binarization_method: threshold, compression_method: plain)
}

/// Lines on one dot row from `starts` to `ends`, `count` of them.
private func printLines(_ port: Int, _ count: Int, _ starts: [Int], _ ends: [Int]) -> Bool {
    CP_Pos_PrintMultipleHorizontalLinesAtOneRow(handle: port, nLineCount: count,
                                                pLineStartPosition: starts, pLineEndPosition: ends)
}

@Suite struct ReceiptWrappers {
    // Every argument a value of its own, so a swapped or misnarrowed one shows in the bytes.
    static let commands: [CommandCase] = [
        CommandCase("KickOutDrawer", "1B 70 01 32 64") {
            CP_Pos_KickOutDrawer(handle: $0, nDrawerIndex: 1, nHighLevelTime: 50, nLowLevelTime: 100)
        },
        CommandCase("Beep", "1B 42 03 02") { CP_Pos_Beep(handle: $0, nBeepCount: 3, nBeepMs: 250) },
        CommandCase("FeedAndHalfCutPaper", "1D 56 42 00") { CP_Pos_FeedAndHalfCutPaper(handle: $0) },
        CommandCase("FullCutPaper", "1B 69") { CP_Pos_FullCutPaper(handle: $0) },
        CommandCase("HalfCutPaper", "1B 6D") { CP_Pos_HalfCutPaper(handle: $0) },
        CommandCase("FeedLine", "1B 64 05") { CP_Pos_FeedLine(handle: $0, numLines: 5) },
        CommandCase("FeedDot in steps of 255", "1B 4A FF 1B 4A FF 1B 4A 5A") {
            CP_Pos_FeedDot(handle: $0, numDots: 600)
        },
        CommandCase("PrintSelfTestPage", "12 54") { CP_Pos_PrintSelfTestPage(handle: $0) },
        CommandCase("PrintText up to a U+0000", "61 62") {
            CP_Pos_PrintText(handle: $0, str: "ab\u{0}cd")
        },
        CommandCase("PrintText as UTF-8", "61 C3 A9 E2 82 AC") {
            CP_Pos_PrintText(handle: $0, str: "aé€")
        },
        CommandCase("PrintTextInUTF8", "61 C3 A9 E2 82 AC") {
            CP_Pos_PrintTextInUTF8(handle: $0, str: "aé€")
        },
        CommandCase("PrintTextInGBK", "D6 D0") { CP_Pos_PrintTextInGBK(handle: $0, str: "中") },
        CommandCase("PrintTextInBIG5", "A4 A4") { CP_Pos_PrintTextInBIG5(handle: $0, str: "中") },
        CommandCase("PrintTextInShiftJIS", "93 FA") {
            CP_Pos_PrintTextInShiftJIS(handle: $0, str: "日")
        },
        CommandCase("PrintTextInEUCKR", "C7 D1") { CP_Pos_PrintTextInEUCKR(handle: $0, str: "한") },
        CommandCase("PrintBarcode", "1D 6B 45 05 31 32 33 34 35") {
            CP_Pos_PrintBarcode(handle: $0, nBarcodeType: CP_Pos_BarcodeType_CODE39, str: "12345")
        },
        CommandCase("PrintBarcode_Code128Auto", "1D 6B 49 09 7B 42 41 42 31 7B 43 17 2D") {
            CP_Pos_PrintBarcode_Code128Auto(handle: $0, str: "AB12345")
        },
        CommandCase("PrintQRCode", "1D 6B 61 03 02 02 00 41 42") {
            CP_Pos_PrintQRCode(handle: $0, nVersion: 3, nECCLevel: CP_QRCodeECC_M, str: "AB")
        },
        CommandCase("PrintQRCodeUseEpsonCmd",
                    "1D 28 6B 03 00 31 43 04 1D 28 6B 03 00 31 45 31 "
                        + "1D 28 6B 05 00 31 50 30 41 42 1D 28 6B 03 00 31 51 30") {
            CP_Pos_PrintQRCodeUseEpsonCmd(handle: $0, nQRCodeUnitWidth: 4,
                                          nECCLevel: CP_QRCodeECC_M, str: "AB")
        },
        // Position and length most significant byte first, then level and version; the empty
        // second text arrives as a text of no bytes.
        CommandCase("PrintDoubleQRCode", "1F 51 02 03 01 04 00 02 02 05 41 42 00 C8 00 00 04 06") {
            CP_Pos_PrintDoubleQRCode(handle: $0, nQRCodeUnitWidth: 3, nQR1Position: 0x104,
                                     nQR1Version: 5, nQR1ECCLevel: CP_QRCodeECC_M, strQR1: "AB",
                                     nQR2Position: 200, nQR2Version: 6,
                                     nQR2ECCLevel: CP_QRCodeECC_H, strQR2: "")
        },
        CommandCase("PrintPDF417BarcodeUseEpsonCmd",
                    "1D 28 6B 03 00 30 41 01 1D 28 6B 03 00 30 42 02 1D 28 6B 03 00 30 43 03 "
                        + "1D 28 6B 03 00 30 44 04 1D 28 6B 04 00 30 45 30 35 "
                        + "1D 28 6B 03 00 30 46 06 1D 28 6B 05 00 30 50 30 41 42 "
                        + "1D 28 6B 03 00 30 51 30") {
            CP_Pos_PrintPDF417BarcodeUseEpsonCmd(handle: $0, columnCount: 1, rowCount: 2,
                                                 unitWidth: 3, rowHeight: 4, nECCLevel: 5,
                                                 dataProcessingMode: 6, str: "AB")
        },
        // Only the first data_size bytes are the image: the byte after them is not.
        CommandCase("PrintRasterImageFromData", "1D 76 30 00 01 00 02 00 AA AA") {
            printDotsImage($0)
        },
        // A mono raster keeps the caller's stride as its row length.
        CommandCase("PrintRasterImageFromPixels", "1D 76 30 00 03 00 02 00 FF C0 00 AA 40 00") {
            printMonoRows($0)
        },
        CommandCase("PrintHorizontalLine", "1D 27 01 0A 00 2C 01") {
            CP_Pos_PrintHorizontalLine(handle: $0, nLineStartPosition: 10, nLineEndPosition: 300)
        },
        CommandCase("PrintHorizontalLineSpecifyThickness",
                    "1D 27 01 0A 00 2C 01 1D 27 01 0A 00 2C 01") {
            CP_Pos_PrintHorizontalLineSpecifyThickness(handle: $0, nLineStartPosition: 10,
                                                       nLineEndPosition: 300, nLineThickness: 2)
        },
        CommandCase("PrintMultipleHorizontalLinesAtOneRow, the first 2 of 5",
                    "1D 27 02 00 00 64 00 00 01 7F 01") {
            printLines($0, 2, [0, 256, 9, 9, 9], [100, 383, 9, 9, 9])
        },
        CommandCase("PrintMultipleHorizontalLinesAtOneRow, none", "1D 27 00") {
            printLines($0, 0, [], [])
        },
        CommandCase("ResetPrinter", "1B 40") { CP_Pos_ResetPrinter(handle: $0) },
        CommandCase("SetPrintSpeed", "1F 28 73 02 00 2C 01") {
            CP_Pos_SetPrintSpeed(handle: $0, nSpeed: 300)
        },
        CommandCase("SetPrintDensity", "12 23 07") { CP_Pos_SetPrintDensity(handle: $0, nDensity: 7) },
        CommandCase("SetSingleByteMode", "1C 2E") { CP_Pos_SetSingleByteMode(handle: $0) },
        CommandCase("SetCharacterSet", "1B 52 0F") {
            CP_Pos_SetCharacterSet(handle: $0, nCharacterSet: 15)
        },
        CommandCase("SetCharacterCodepage", "1B 74 FF") {
            CP_Pos_SetCharacterCodepage(handle: $0, nCharacterCodepage: 255)
        },
        CommandCase("SetMultiByteMode", "1C 26") { CP_Pos_SetMultiByteMode(handle: $0) },
        CommandCase("SetMultiByteEncoding", "1B 39 01") {
            CP_Pos_SetMultiByteEncoding(handle: $0, nEncoding: 1)
        },
        CommandCase("SetMovementUnit", "1D 50 B4 5A") {
            CP_Pos_SetMovementUnit(handle: $0, nHorizontalMovementUnit: 180, nVerticalMovementUnit: 90)
        },
        CommandCase("SetPrintAreaLeftMargin", "1D 4C 23 01") {
            CP_Pos_SetPrintAreaLeftMargin(handle: $0, nLeftMargin: 0x123)
        },
        CommandCase("SetPrintAreaWidth", "1D 57 40 02") {
            CP_Pos_SetPrintAreaWidth(handle: $0, nWidth: 576)
        },
        CommandCase("SetHorizontalAbsolutePrintPosition, low 16 bits", "1B 24 80 01") {
            CP_Pos_SetHorizontalAbsolutePrintPosition(handle: $0, nPosition: 0x10180)
        },
        CommandCase("SetHorizontalRelativePrintPosition", "1B 5C FF FF") {
            CP_Pos_SetHorizontalRelativePrintPosition(handle: $0, nPosition: -1)
        },
        // The ends of the signed 32-bit range pass.
        CommandCase("SetHorizontalRelativePrintPosition at Int32.min", "1B 5C 00 00") {
            CP_Pos_SetHorizontalRelativePrintPosition(handle: $0, nPosition: Int(Int32.min))
        },
        CommandCase("SetVerticalAbsolutePrintPosition at Int32.max", "1D 24 FF FF") {
            CP_Pos_SetVerticalAbsolutePrintPosition(handle: $0, nPosition: Int(Int32.max))
        },
        CommandCase("SetVerticalRelativePrintPosition", "1D 5C E8 FF") {
            CP_Pos_SetVerticalRelativePrintPosition(handle: $0, nPosition: -24)
        },
        CommandCase("SetAlignment", "1B 61 02") {
            CP_Pos_SetAlignment(handle: $0, nAlignment: CP_Pos_Alignment_Right)
        },
        CommandCase("SetTextScale", "1D 21 12") {
            CP_Pos_SetTextScale(handle: $0, nWidthScale: 1, nHeightScale: 2)
        },
        CommandCase("SetAsciiTextFontType", "1B 4D 01") {
            CP_Pos_SetAsciiTextFontType(handle: $0, nFontType: 1)
        },
        CommandCase("SetTextBold", "1B 45 01") { CP_Pos_SetTextBold(handle: $0, nBold: 1) },
        CommandCase("SetTextUnderline", "1B 2D 02 1C 2D 02") {
            CP_Pos_SetTextUnderline(handle: $0, nUnderline: 2)
        },
        CommandCase("SetTextUpsideDown", "1B 7B 01") {
            CP_Pos_SetTextUpsideDown(handle: $0, nUpsideDown: 1)
        },
        CommandCase("SetTextWhiteOnBlack", "1D 42 01") {
            CP_Pos_SetTextWhiteOnBlack(handle: $0, nWhiteOnBlack: 1)
        },
        CommandCase("SetTextRotate", "1B 56 01") { CP_Pos_SetTextRotate(handle: $0, nRotate: 1) },
        CommandCase("SetTextLineHeight", "1B 33 20") {
            CP_Pos_SetTextLineHeight(handle: $0, nLineHeight: 32)
        },
        CommandCase("SetAsciiTextCharRightSpacing", "1B 20 04") {
            CP_Pos_SetAsciiTextCharRightSpacing(handle: $0, nSpacing: 4)
        },
        CommandCase("SetKanjiTextCharSpacing", "1C 53 01 03") {
            CP_Pos_SetKanjiTextCharSpacing(handle: $0, nLeftSpacing: 1, nRightSpacing: 3)
        },
        CommandCase("SetBarcodeUnitWidth", "1D 77 03") {
            CP_Pos_SetBarcodeUnitWidth(handle: $0, nBarcodeUnitWidth: 3)
        },
        CommandCase("SetBarcodeHeight", "1D 68 50") {
            CP_Pos_SetBarcodeHeight(handle: $0, nBarcodeHeight: 80)
        },
        CommandCase("SetBarcodeReadableTextFontType", "1D 66 01") {
            CP_Pos_SetBarcodeReadableTextFontType(handle: $0, nFontType: 1)
        },
        CommandCase("SetBarcodeReadableTextPosition", "1D 48 02") {
            CP_Pos_SetBarcodeReadableTextPosition(
                handle: $0, nTextPosition: CP_Pos_BarcodeTextPrintPosition_BelowBarcode)
        },
    ]

    @Test(arguments: commands)
    func commandSendsItsBytes(_ row: CommandCase) throws {
        try expectCommand(row)
    }

    @Test func imageFileIsScaledToItsSize() throws {
        try expectImageFileCommand("PrintRasterImageFromFile", "1D 76 30 00 01 00 02 00 AA AA") {
            CP_Pos_PrintRasterImageFromFile(handle: $0, dstw: 8, dsth: 2, pszFile: $1,
                                            binarization_method: threshold, compression_method: plain)
        }
    }

    // Refused before the library is called (a wrapped value or an unchecked count would have
    // sent bytes, or read past the array), or by the library for text it cannot convert.
    static let refused: [CommandCase] = [
        CommandCase("FeedLine above Int32.max", "") {
            CP_Pos_FeedLine(handle: $0, numLines: Int(Int32.max) + 1)
        },
        CommandCase("FeedDot below Int32.min", "") {
            CP_Pos_FeedDot(handle: $0, numDots: Int(Int32.min) - 1)
        },
        CommandCase("FeedLine whose low 32 bits are 5", "") {
            CP_Pos_FeedLine(handle: $0, numLines: beyond32Bits + 5)
        },
        CommandCase("KickOutDrawer, last value wide", "") {
            CP_Pos_KickOutDrawer(handle: $0, nDrawerIndex: 0, nHighLevelTime: 1,
                                 nLowLevelTime: beyond32Bits)
        },
        CommandCase("PrintQRCode, version wide", "") {
            CP_Pos_PrintQRCode(handle: $0, nVersion: beyond32Bits, nECCLevel: CP_QRCodeECC_L, str: "A")
        },
        CommandCase("PrintDoubleQRCode, second version wide", "") {
            CP_Pos_PrintDoubleQRCode(handle: $0, nQRCodeUnitWidth: 3, nQR1Position: 0, nQR1Version: 0,
                                     nQR1ECCLevel: CP_QRCodeECC_L, strQR1: "A", nQR2Position: 100,
                                     nQR2Version: -beyond32Bits, nQR2ECCLevel: CP_QRCodeECC_L,
                                     strQR2: "B")
        },
        CommandCase("PrintPDF417BarcodeUseEpsonCmd, mode wide", "") {
            CP_Pos_PrintPDF417BarcodeUseEpsonCmd(handle: $0, columnCount: 1, rowCount: 2,
                                                 unitWidth: 3, rowHeight: 4, nECCLevel: 5,
                                                 dataProcessingMode: beyond32Bits, str: "A")
        },
        CommandCase("SetTextScale, height wide", "") {
            CP_Pos_SetTextScale(handle: $0, nWidthScale: 1, nHeightScale: beyond32Bits)
        },
        CommandCase("PrintHorizontalLineSpecifyThickness, thickness wide", "") {
            CP_Pos_PrintHorizontalLineSpecifyThickness(handle: $0, nLineStartPosition: 0,
                                                       nLineEndPosition: 10,
                                                       nLineThickness: beyond32Bits + 1)
        },
        CommandCase("PrintTextInUTF8 with a character above U+FFFF", "") {
            CP_Pos_PrintTextInUTF8(handle: $0, str: "a\u{1F600}")
        },
        CommandCase("PrintTextInGBK with text GBK cannot hold", "") {
            CP_Pos_PrintTextInGBK(handle: $0, str: "한")
        },
        CommandCase("PrintMultipleHorizontalLinesAtOneRow, count beyond the end positions", "") {
            printLines($0, 3, [0, 1, 2], [3, 4])
        },
        CommandCase("PrintMultipleHorizontalLinesAtOneRow, count beyond the start positions", "") {
            printLines($0, 2, [0], [3, 4])
        },
        CommandCase("PrintMultipleHorizontalLinesAtOneRow, negative count", "") {
            printLines($0, -1, [0], [3])
        },
        CommandCase("PrintMultipleHorizontalLinesAtOneRow, a position wide", "") {
            printLines($0, 2, [0, 1], [3, beyond32Bits + 4])
        },
        CommandCase("PrintRasterImageFromData, data_size beyond the array", "") {
            printDotsImage($0) { $0 + 2 }
        },
        CommandCase("PrintRasterImageFromData, negative data_size", "") {
            printDotsImage($0) { _ in -1 }
        },
        CommandCase("PrintRasterImageFromData, dstw wide", "") {
            printDotsImage($0, dstw: beyond32Bits + 8)
        },
        // 6 bytes hold 2 rows 3 apart: not 3 rows, nor 2 rows 4 apart, nor the 7 bytes a
        // length says.
        CommandCase("PrintRasterImageFromPixels, rows beyond the array", "") {
            printMonoRows($0, length: 0, height: 3)
        },
        CommandCase("PrintRasterImageFromPixels, stride beyond the array", "") {
            printMonoRows($0, length: 0, stride: 4)
        },
        CommandCase("PrintRasterImageFromPixels, img_datalen beyond the array", "") {
            printMonoRows($0, length: 7)
        },
        CommandCase("PrintRasterImageFromPixels, img_datalen beyond 32 bits", "") {
            printMonoRows($0, length: beyond32Bits + 6)
        },
        CommandCase("PrintRasterImageFromPixels, stride wide", "") {
            printMonoRows($0, length: 0, stride: beyond32Bits + 3)
        },
    ]

    @Test(arguments: refused)
    func refusedCallSendsNothing(_ row: CommandCase) throws {
        try expectRefused(row)
    }

    // Handle 0 gives 0 (the failure value of the status query), false for the other.
    @Test func queriesWithHandleZeroGiveTheirFailureValues() {
        #expect(CP_Pos_QueryRTStatus(handle: 0, timeout: 1 << 40) == 0)
        #expect(!CP_Pos_QueryPrintResult(handle: 0, timeout: -1))
    }
}

// The blocking queries, against a printer on 127.0.0.1.
@Suite struct ReceiptQueries {
    private static let rtQuery: [UInt8] = [0x10, 0x04, 0x01, 0x10, 0x04, 0x02,
                                           0x10, 0x04, 0x03, 0x10, 0x04, 0x04]

    // The first byte read is the lowest; a fourth byte of 0x80 or more makes the Int negative.
    @Test(arguments: [
        ([0x16, 0x12, 0x12, 0x8C], -1944972778),
        ([0x12, 0x12, 0x12, 0x12], 0x1212_1212),
    ] as [([UInt8], Int)])
    func realTimeStatusPacksTheFourBytes(reply: [UInt8], status: Int) throws {
        try withPrinterPort { printer, port in
            printer.addReply(trigger: Self.rtQuery, reply: reply, once: true)
            #expect(CP_Pos_QueryRTStatus(handle: port, timeout: 3000) == status)
            #expect(Array(printer.received().prefix(12)) == Self.rtQuery)
        }
    }

    @Test func realTimeStatusWithoutReplyIsZero() throws {
        try withPrinterPort { printer, port in
            #expect(CP_Pos_QueryRTStatus(handle: port, timeout: 50) == 0)
            #expect(printer.waitForBytes(12))
        }
    }

    // A timeout that does not fit is refused without asking: the printer answers every query
    // at once, so a wrapped one (3000 ms, or 49 days for -1) would come back with its status.
    @Test func realTimeStatusWithATimeoutBeyondItsWidthAsksNothing() throws {
        try withPrinterPort { printer, port in
            printer.addReply(trigger: Self.rtQuery, reply: [0x12, 0x12, 0x12, 0x12])
            #expect(CP_Pos_QueryRTStatus(handle: port, timeout: 3000) == 0x1212_1212)
            #expect(CP_Pos_QueryRTStatus(handle: port, timeout: -1) == 0)
            #expect(CP_Pos_QueryRTStatus(handle: port, timeout: beyond32Bits + 3000) == 0)
            #expect(printer.received() == Self.rtQuery)
        }
    }

    // Online: the print-result request goes out and its reply with the same id confirms it.
    // Off line: no request is sent.
    @Test func printResultIsConfirmedByTheReplyOfItsId() throws {
        try withPrinterPort { printer, port in
            printer.addReply(trigger: [0x10, 0x04, 0x01], reply: [0x12], once: true)
            let request: [UInt8] = [0x1D, 0x28, 0x48, 0x06, 0x00, 0x30, 0x30, 0x00, 0x00, 0x00, 0x00]
            printer.addReply(trigger: request, reply: [0x37, 0x22, 0x00, 0x00, 0x00, 0x00, 0x00])
            #expect(CP_Pos_QueryPrintResult(handle: port, timeout: 3000))
        }
        try withPrinterPort { printer, port in
            printer.addReply(trigger: [0x10, 0x04, 0x01], reply: [0x1A])
            #expect(!CP_Pos_QueryPrintResult(handle: port, timeout: 1000))
            #expect(!printer.received().contains(0x1D), "no request while off line")
        }
    }
}
