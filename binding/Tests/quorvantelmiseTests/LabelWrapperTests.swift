import Testing
import quorvantelmise

// An 8 x 2 gray image, black and white dots in turn, with one byte of row padding.
private let grayRows: [UInt8] = Array([[0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x80],
                                       [0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x80]].joined())

/// The gray rows at (3, 4) as a pixel image of `height` rows `stride` bytes apart.
private func drawGrayRows(_ port: Int, length: Int = 18, height: Int = 2, stride: Int = 9,
                          compression: CP_ImageCompressionMethod = plain) -> Bool {
    CP_Label_DrawImageFromPixels(handle: port, x: 3, y: 4, img_data: grayRows, img_datalen: length,
                                 img_width: 8, img_height: height, img_stride: stride,
                                 img_format: CP_ImagePixelsFormat_Gray8,
                                 binarization_method: threshold, compression_method: compression)
}

/// The BMP of `alternatingDotsBMP()` at (3, 4), of which the first `size` bytes are offered.
private func drawDotsImage(_ port: Int, size: (Int) -> Int = { $0 }) -> Bool {
    let bmp = alternatingDotsBMP()
    return CP_Label_DrawImageFromData(handle: port, x: 3, y: 4, dstw: 8, dsth: 2, data: bmp + [0x42],
                                      data_size: size(bmp.count), binarization_method: threshold,
                                      compression_method: plain)
}

@Suite struct BlackMarkWrappers {
    static let commands: [CommandCase] = [
        CommandCase("EnableBlackMarkMode", "1F 1B 1F 80 04 05 06 44") {
            CP_BlackMark_EnableBlackMarkMode(handle: $0)
        },
        CommandCase("DisableBlackMarkMode", "1F 1B 1F 80 04 05 06 66") {
            CP_BlackMark_DisableBlackMarkMode(handle: $0)
        },
        CommandCase("SetBlackMarkMaxFindLength", "1F 1B 1F 81 04 05 06 E8 03") {
            CP_BlackMark_SetBlackMarkMaxFindLength(handle: $0, maxFindLength: 1000)
        },
        CommandCase("FindNextBlackMark", "1D 0C") { CP_BlackMark_FindNextBlackMark(handle: $0) },
        // A negative position goes as a direction flag and its magnitude.
        CommandCase("SetBlackMarkPaperPrintPosition before the mark", "1D 28 46 04 00 01 01 05 00") {
            CP_BlackMark_SetBlackMarkPaperPrintPosition(handle: $0, position: -5)
        },
        CommandCase("SetBlackMarkPaperPrintPosition", "1D 28 46 04 00 01 00 2C 01") {
            CP_BlackMark_SetBlackMarkPaperPrintPosition(handle: $0, position: 300)
        },
        CommandCase("SetBlackMarkPaperCutPosition before the mark", "1D 28 46 04 00 02 01 2C 01") {
            CP_BlackMark_SetBlackMarkPaperCutPosition(handle: $0, position: -300)
        },
        CommandCase("FullCutBlackMarkPaper", "1D 56 00") {
            CP_BlackMark_FullCutBlackMarkPaper(handle: $0)
        },
        CommandCase("HalfCutBlackMarkPaper", "1D 56 01") {
            CP_BlackMark_HalfCutBlackMarkPaper(handle: $0)
        },
    ]

    @Test(arguments: commands)
    func commandSendsItsBytes(_ row: CommandCase) throws {
        try expectCommand(row)
    }

    @Test(arguments: [-beyond32Bits - 5, Int(Int32.max) + 1])
    func positionBeyond32BitsIsRefused(_ position: Int) throws {
        try expectRefused(CommandCase("SetBlackMarkPaperCutPosition \(position)", "") {
            CP_BlackMark_SetBlackMarkPaperCutPosition(handle: $0, position: position)
        })
    }
}

@Suite struct LabelWrappers {
    static let commands: [CommandCase] = [
        CommandCase("EnableLabelMode", "1F 28 4C 01 00 31") { CP_Label_EnableLabelMode(handle: $0) },
        CommandCase("DisableLabelMode", "1F 28 4C 01 00 00") { CP_Label_DisableLabelMode(handle: $0) },
        CommandCase("CalibrateLabel", "1F 63") { CP_Label_CalibrateLabel(handle: $0) },
        CommandCase("FeedLabel", "1A 0C 30") { CP_Label_FeedLabel(handle: $0) },
        CommandCase("BackPaperToPrintPosition", "1A 0C FF") {
            CP_Label_BackPaperToPrintPosition(handle: $0)
        },
        CommandCase("FeedPaperToTearPosition", "1A 0C 00") {
            CP_Label_FeedPaperToTearPosition(handle: $0)
        },
        CommandCase("PageBegin", "1A 5B 01 01 00 02 00 80 01 F0 00 01") {
            CP_Label_PageBegin(handle: $0, x: 1, y: 2, width: 384, height: 240, rotation: 1)
        },
        // An enumeration value beyond the named ones passes unchanged; its low byte is sent.
        CommandCase("PageBegin, rotation's low byte", "1A 5B 01 00 00 00 00 08 00 08 00 03") {
            CP_Label_PageBegin(handle: $0, x: 0, y: 0, width: 8, height: 8, rotation: 0x103)
        },
        CommandCase("PagePrint", "1A 4F 01 02") { CP_Label_PagePrint(handle: $0, copies: 2) },
        CommandCase("DrawText", "1A 54 01 0A 00 14 00 18 00 01 00 41 42 00") {
            CP_Label_DrawText(handle: $0, x: 10, y: 20, font: 24, style: 1, str: "AB")
        },
        // Nothing but the terminating NUL: the empty text reaches the library as a text.
        CommandCase("DrawText, empty", "1A 54 01 01 00 02 00 03 00 04 00 00") {
            CP_Label_DrawText(handle: $0, x: 1, y: 2, font: 3, style: 4, str: "")
        },
        CommandCase("DrawText up to a U+0000", "1A 54 01 01 00 02 00 03 00 04 00 41 00") {
            CP_Label_DrawText(handle: $0, x: 1, y: 2, font: 3, style: 4, str: "A\u{0}B")
        },
        CommandCase("DrawTextInUTF8", "1A 54 01 01 00 02 00 03 00 04 00 C3 BC 41 00") {
            CP_Label_DrawTextInUTF8(handle: $0, x: 1, y: 2, font: 3, style: 4, str: "üA")
        },
        CommandCase("DrawTextInGBK", "1A 54 01 01 00 02 00 03 00 04 00 D6 D0 00") {
            CP_Label_DrawTextInGBK(handle: $0, x: 1, y: 2, font: 3, style: 4, str: "中")
        },
        // The readable-text position first, as the receipt command GS H.
        CommandCase("DrawBarcode", "1D 48 02 1A 30 00 0A 00 14 00 49 3C 03 01 31 32 33 34 35 00") {
            CP_Label_DrawBarcode(handle: $0, x: 10, y: 20, nBarcodeType: 0x49,
                                 nBarcodeTextPrintPosition: 2, height: 60, unitwidth: 3,
                                 rotation: 1, str: "12345")
        },
        CommandCase("DrawQRCode", "1A 31 00 03 02 10 00 20 00 04 01 41 42 00") {
            CP_Label_DrawQRCode(handle: $0, x: 16, y: 32, nVersion: 3, nECCLevel: CP_QRCodeECC_M,
                                unitwidth: 4, rotation: 1, str: "AB")
        },
        // Column, ECC level, aspect ratio: the level goes before the ratio.
        CommandCase("DrawPDF417Code", "1A 31 01 05 07 06 01 00 02 00 03 01 50 44 46 00") {
            CP_Label_DrawPDF417Code(handle: $0, x: 1, y: 2, column: 5, nAspectRatio: 6,
                                    nECCLevel: 7, unitwidth: 3, rotation: 1, str: "PDF")
        },
        // Only the first data_size bytes are the image: the byte after them is not.
        CommandCase("DrawImageFromData", "1A 21 01 03 00 04 00 08 00 02 00 00 00 AA AA") {
            drawDotsImage($0)
        },
        CommandCase("DrawImageFromPixels", "1A 21 01 03 00 04 00 08 00 02 00 00 00 AA AA") {
            drawGrayRows($0)
        },
        CommandCase("DrawLine", "1A 5C 01 00 00 0A 00 7F 01 0C 00 02 00 01") {
            CP_Label_DrawLine(handle: $0, startx: 0, starty: 10, endx: 383, endy: 12, linewidth: 2,
                              linecolor: 1)
        },
        // By its corners (10, 20) and (10 + 100, 20 + 50).
        CommandCase("DrawRect", "1A 2A 00 0A 00 14 00 6E 00 46 00 01") {
            CP_Label_DrawRect(handle: $0, x: 10, y: 20, width: 100, height: 50, color: 1)
        },
        CommandCase("DrawBox", "1A 26 01 0A 00 14 00 6E 00 46 00 03 00 01") {
            CP_Label_DrawBox(handle: $0, x: 10, y: 20, width: 100, height: 50, borderwidth: 3,
                             bordercolor: 1)
        },
    ]

    @Test(arguments: commands)
    func commandSendsItsBytes(_ row: CommandCase) throws {
        try expectCommand(row)
    }

    @Test func imageFileIsScaledToItsSize() throws {
        try expectImageFileCommand("DrawImageFromFile",
                                   "1A 21 01 03 00 04 00 08 00 02 00 00 00 AA AA") {
            CP_Label_DrawImageFromFile(handle: $0, x: 3, y: 4, dstw: 8, dsth: 2, pszFile: $1,
                                       binarization_method: threshold, compression_method: plain)
        }
    }

    static let refused: [CommandCase] = [
        CommandCase("PageBegin, height wide", "") {
            CP_Label_PageBegin(handle: $0, x: 0, y: 0, width: 384, height: beyond32Bits + 240,
                               rotation: 0)
        },
        CommandCase("PagePrint, copies below Int32.min", "") {
            CP_Label_PagePrint(handle: $0, copies: Int(Int32.min) - 1)
        },
        // The wide cells are made before style is looked at, and freed.
        CommandCase("DrawTextInUTF8, style wide", "") {
            CP_Label_DrawTextInUTF8(handle: $0, x: 1, y: 2, font: 3, style: beyond32Bits + 4, str: "A")
        },
        CommandCase("DrawTextInGBK, x wide", "") {
            CP_Label_DrawTextInGBK(handle: $0, x: -beyond32Bits, y: 2, font: 3, style: 4, str: "中")
        },
        CommandCase("DrawTextInUTF8 with a character above U+FFFF", "") {
            CP_Label_DrawTextInUTF8(handle: $0, x: 1, y: 2, font: 3, style: 4, str: "\u{1F600}")
        },
        CommandCase("DrawBarcode, unit width wide", "") {
            CP_Label_DrawBarcode(handle: $0, x: 10, y: 20, nBarcodeType: 0x49,
                                 nBarcodeTextPrintPosition: 2, height: 60,
                                 unitwidth: beyond32Bits + 3, rotation: 1, str: "1")
        },
        CommandCase("DrawPDF417Code, ECC level wide", "") {
            CP_Label_DrawPDF417Code(handle: $0, x: 1, y: 2, column: 5, nAspectRatio: 6,
                                    nECCLevel: beyond32Bits + 7, unitwidth: 3, rotation: 1, str: "PDF")
        },
        CommandCase("DrawLine, line width wide", "") {
            CP_Label_DrawLine(handle: $0, startx: 0, starty: 0, endx: 8, endy: 0,
                              linewidth: beyond32Bits, linecolor: 1)
        },
        CommandCase("DrawImageFromData, data_size beyond the array", "") {
            drawDotsImage($0) { $0 + 2 }
        },
        CommandCase("DrawImageFromData, negative data_size", "") { drawDotsImage($0) { _ in -1 } },
        // 18 bytes hold 2 rows 9 apart: not 3 rows, nor 2 rows 10 apart, nor the 19 bytes a
        // length says.
        CommandCase("DrawImageFromPixels, rows beyond the array", "") {
            drawGrayRows($0, length: 0, height: 3)
        },
        CommandCase("DrawImageFromPixels, stride beyond the array", "") {
            drawGrayRows($0, length: 0, stride: 10)
        },
        CommandCase("DrawImageFromPixels, img_datalen beyond the array", "") {
            drawGrayRows($0, length: 19)
        },
        // Run-length is no label compression: the library refuses it.
        CommandCase("DrawImageFromPixels, run-length", "") {
            drawGrayRows($0, compression: CP_ImageCompressionMethod_RunLength)
        },
    ]

    @Test(arguments: refused)
    func refusedCallSendsNothing(_ row: CommandCase) throws {
        try expectRefused(row)
    }
}
