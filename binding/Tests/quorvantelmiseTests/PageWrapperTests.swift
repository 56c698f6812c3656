import Testing
import quorvantelmise

/// A page of 384 × 400 dots, direction left to right (its own bytes are cleared).
private func pageArea(_ port: Int) {
    _ = CP_Page_SetPageArea(handle: port, x: 0, y: 0, width: 384, height: 400)
}

private let start = Int(CP_Page_Position_Start)
private let centre = Int(CP_Page_Position_Center)
private let end = Int(CP_Page_Position_End)

/// One GS 8 L store-and-print command for `rows` of `rowBytes` bytes, padded to 8 rows.
private func gs8Image(rowBytes: Int, rows: String, padding: Int) -> String {
    let size = UInt8(rowBytes * 8 + 10), width = UInt8(rowBytes * 8)
    let store = "1D 38 4C \(hex([size])) 00 00 00 30 70 30 01 01 31 \(hex([width])) 00 08 00"
    return ([store, rows] + Array(repeating: "00", count: padding) + ["1D 38 4C 02 00 00 00 30 02"])
        .joined(separator: " ")
}

/// The 8 x 2 image of the BMP of `alternatingDotsBMP()`, at (5, 6), positioned by its bottom
/// row.
private let dotsImageAt5And6 =
    "1B 24 05 00 1D 24 07 00 " + gs8Image(rowBytes: 1, rows: "AA AA", padding: 6)

/// `rowCount` 8-dot gray rows of zeros from an array of 64 bytes.
private func drawGrayRows(_ port: Int, _ pixels: [UInt8] = [UInt8](repeating: 0, count: 64),
                          length: Int = 0, rowCount: Int = 8) -> Bool {
    CP_Page_DrawRasterImageFromPixels(handle: port, x: 0, y: 0, img_data: pixels,
                                      img_datalen: length, img_width: 8, img_height: rowCount,
                                      img_stride: 8, img_format: CP_ImagePixelsFormat_Gray8,
                                      binarization_method: threshold)
}

/// The BMP of `alternatingDotsBMP()` at (5, 6), of which the first `size` bytes are offered.
private func drawDotsImage(_ port: Int, size: (Int) -> Int = { $0 }) -> Bool {
    let bmp = alternatingDotsBMP()
    return CP_Page_DrawRasterImageFromData(handle: port, x: 5, y: 6, dstw: 8, dsth: 2,
                                           data: bmp + [0x42], data_size: size(bmp.count),
                                           binarization_method: threshold)
}

@Suite struct PageWrappers {
    static let commands: [CommandCase] = [
        CommandCase("SelectPageMode", "1B 4C") { CP_Page_SelectPageMode(handle: $0) },
        CommandCase("SelectPageModeEx",
                    "1D 50 B4 5A 1B 4C 1B 57 01 00 02 00 80 01 90 01 1B 54 00 1B 33 20 1B 20 00 "
                        + "1C 53 00 00 1D 21 00 1D 77 02 1D 68 3C 1D 48 02 1D 66 00") {
            CP_Page_SelectPageModeEx(handle: $0, nHorizontalMovementUnit: 180,
                                     nVerticalMovementUnit: 90, x: 1, y: 2, width: 384, height: 400)
        },
        CommandCase("ExitPageMode", "1B 53") { CP_Page_ExitPageMode(handle: $0) },
        CommandCase("PrintPage", "1B 0C") { CP_Page_PrintPage(handle: $0) },
        CommandCase("ClearPage", "18") { CP_Page_ClearPage(handle: $0) },
        CommandCase("SetPageArea", "1B 57 01 00 08 00 80 01 90 01") {
            CP_Page_SetPageArea(handle: $0, x: 1, y: 8, width: 384, height: 400)
        },
        CommandCase("SetPageDrawDirection", "1B 54 03") {
            CP_Page_SetPageDrawDirection(handle: $0, nDirection: CP_Page_DrawDirection_TopToBottom)
        },
        // Corners most significant byte first: (10, 20) to (10 + 30 - 1, 20 + 40 - 1).
        CommandCase("DrawRect", "1F 28 52 0A 00 00 0A 00 14 00 27 00 3B 01 01") {
            CP_Page_DrawRect(handle: $0, x: 10, y: 20, width: 30, height: 40, color: 1)
        },
        // The centre codes reach the library: (384 - 100) / 2, (400 - 50) / 2.
        CommandCase("DrawRect centred", "1F 28 52 0A 00 00 8E 00 AF 00 F1 00 E0 01 01") {
            CP_Page_DrawRect(handle: $0, x: centre, y: centre, width: 100, height: 50, color: 1)
        },
        CommandCase("DrawBox", "1F 28 52 0A 00 00 0A 00 0C 00 1D 00 23 01 01 "
                        + "1F 28 52 0A 00 00 0C 00 0E 00 1B 00 21 00 01") {
            CP_Page_DrawBox(handle: $0, x: 10, y: 12, width: 20, height: 24, borderwidth: 2,
                            bordercolor: 1)
        },
        // On the baseline: 10 + 24 - 3.
        CommandCase("DrawText up to a U+0000", "1B 24 05 00 1D 24 1F 00 41 42") {
            CP_Page_DrawText(handle: $0, x: 5, y: 10, str: "AB\u{0}CD")
        },
        CommandCase("DrawTextInUTF8", "1B 24 A8 00 1D 24 15 00 41 C3 A9 E4 B8 AD") {
            CP_Page_DrawTextInUTF8(handle: $0, x: centre, y: 0, str: "Aé中")
        },
        CommandCase("DrawTextInGBK", "1B 24 68 01 1D 24 15 00 D6 D0") {
            CP_Page_DrawTextInGBK(handle: $0, x: end, y: 0, str: "中")
        },
        CommandCase("DrawTextInBIG5", "1B 24 07 00 1D 24 1E 00 A4 A4") {
            CP_Page_DrawTextInBIG5(handle: $0, x: 7, y: 9, str: "中")
        },
        CommandCase("DrawTextInShiftJIS", "1B 24 07 00 1D 24 1E 00 92 86") {
            CP_Page_DrawTextInShiftJIS(handle: $0, x: 7, y: 9, str: "中")
        },
        CommandCase("DrawTextInEUCKR", "1B 24 07 00 1D 24 1E 00 B0 A1") {
            CP_Page_DrawTextInEUCKR(handle: $0, x: 7, y: 9, str: "가")
        },
        // EAN-13 at unit 2 is 190 dots, centred; y on the bars' bottom row, 60 - 1.
        CommandCase("DrawBarcode",
                    "1B 24 61 00 1D 24 3B 00 1D 6B 43 0C 31 32 33 34 35 36 37 38 39 30 31 32") {
            CP_Page_DrawBarcode(handle: $0, x: centre, y: start,
                                nBarcodeType: CP_Pos_BarcodeType_EAN13, str: "123456789012")
        },
        // Version 2 is 25 modules of 2 dots, at the end of both axes: 384 - 50, 400 - 50.
        CommandCase("DrawQRCode", "1B 24 4E 01 1D 24 5E 01 1D 6B 61 02 03 03 00 41 42 43") {
            CP_Page_DrawQRCode(handle: $0, x: end, y: end, nVersion: 2, nECCLevel: CP_QRCodeECC_Q,
                               str: "ABC")
        },
        // Only the first data_size bytes are the image: the byte after them is not.
        CommandCase("DrawRasterImageFromData", dotsImageAt5And6) { drawDotsImage($0) },
        CommandCase("DrawRasterImageFromPixels",
                    "1B 24 05 00 1D 24 07 00 "
                        + gs8Image(rowBytes: 3, rows: "FF C0 00 AA 40 00", padding: 18)) {
            CP_Page_DrawRasterImageFromPixels(handle: $0, x: 5, y: 6,
                                              img_data: [0xFF, 0xFF, 0x11, 0xAA, 0x55, 0x22],
                                              img_datalen: 6, img_width: 10, img_height: 2,
                                              img_stride: 3, img_format: CP_ImagePixelsFormat_Mono,
                                              binarization_method: threshold)
        },
    ]

    @Test(arguments: commands)
    func commandSendsItsBytes(_ row: CommandCase) throws {
        try expectCommand(row, prepare: pageArea)
    }

    @Test func imageFileIsScaledToItsSize() throws {
        try expectImageFileCommand("DrawRasterImageFromFile", dotsImageAt5And6, prepare: pageArea) {
            CP_Page_DrawRasterImageFromFile(handle: $0, x: 5, y: 6, dstw: 8, dsth: 2, pszFile: $1,
                                            binarization_method: threshold)
        }
    }

    static let refused: [CommandCase] = [
        CommandCase("SelectPageModeEx, last value wide", "") {
            CP_Page_SelectPageModeEx(handle: $0, nHorizontalMovementUnit: 180,
                                     nVerticalMovementUnit: 90, x: 0, y: 0, width: 384,
                                     height: beyond32Bits + 400)
        },
        CommandCase("SetPageArea, x below Int32.min", "") {
            CP_Page_SetPageArea(handle: $0, x: Int(Int32.min) - 1, y: 0, width: 384, height: 400)
        },
        CommandCase("DrawBox, colour wide", "") {
            CP_Page_DrawBox(handle: $0, x: 0, y: 0, width: 20, height: 20, borderwidth: 2,
                            bordercolor: beyond32Bits + 1)
        },
        // The wide cells are made before y is looked at, and freed.
        CommandCase("DrawTextInUTF8, y wide", "") {
            CP_Page_DrawTextInUTF8(handle: $0, x: 0, y: beyond32Bits, str: "A")
        },
        CommandCase("DrawTextInUTF8 with a character above U+FFFF", "") {
            CP_Page_DrawTextInUTF8(handle: $0, x: 0, y: 0, str: "\u{1F600}")
        },
        CommandCase("DrawQRCode, version wide", "") {
            CP_Page_DrawQRCode(handle: $0, x: 0, y: 0, nVersion: beyond32Bits + 2,
                               nECCLevel: CP_QRCodeECC_Q, str: "ABC")
        },
        CommandCase("DrawRasterImageFromData, data_size beyond the array", "") {
            drawDotsImage($0) { $0 + 2 }
        },
        CommandCase("DrawRasterImageFromData, data_size beyond 32 bits", "") {
            drawDotsImage($0) { $0 + beyond32Bits }
        },
        // 64 bytes of 8-dot gray rows: 8 rows fit, 9 do not, nor the 65 bytes a length says.
        CommandCase("DrawRasterImageFromPixels, rows beyond the array", "") {
            drawGrayRows($0, rowCount: 9)
        },
        CommandCase("DrawRasterImageFromPixels, img_datalen beyond the array", "") {
            drawGrayRows($0, length: 65)
        },
        CommandCase("DrawRasterImageFromPixels, negative img_datalen", "") {
            drawGrayRows($0, length: -1)
        },
        // An empty array lends an address of no bytes: a data image of size 0 is the library's
        // to refuse; rows the array cannot hold are refused before it.
        CommandCase("DrawRasterImageFromData, an empty array", "") {
            CP_Page_DrawRasterImageFromData(handle: $0, x: 0, y: 0, dstw: 8, dsth: 8, data: [],
                                            data_size: 0, binarization_method: threshold)
        },
        CommandCase("DrawRasterImageFromPixels, an empty array", "") {
            drawGrayRows($0, [], rowCount: 1)
        },
    ]

    @Test(arguments: refused)
    func refusedCallSendsNothing(_ row: CommandCase) throws {
        try expectRefused(row, prepare: pageArea)
    }
}
