// Prints the sample receipt of print_receipt.c through the Swift module: a small logo
// image, a centred bold title, text in UTF-8 and in GBK, a few format commands, a barcode,
// a QR code, a feed and a cut.
//
//   PrintReceipt [FILE]            write the command bytes into FILE (default receipt.bin)
//   PrintReceipt tcp IP [PORT]     send them to a network printer (port 9100 by default)
//
// The bytes for a file are gathered on a memory port and written out at the end.

import Foundation
import quorvantelmise

// Code-page and multibyte-encoding numbers belong to the printer model; replace these with
// the numbers its manual gives for UTF-8 and GBK.
let codepageUTF8: CP_CharacterCodepage = 255
let encodingGBK: CP_MultiByteEncoding = 0

let logoSide = 48

/// A 48 x 48 gray logo drawn in code: a ring around a filled square (0 = black).
func drawLogo() -> [UInt8] {
    var gray = [UInt8](repeating: 255, count: logoSide * logoSide)
    for y in 0..<logoSide {
        for x in 0..<logoSide {
            let dx = 2 * x - (logoSide - 1), dy = 2 * y - (logoSide - 1)
            let r2 = dx * dx + dy * dy
            let ring = r2 >= 36 * 36 && r2 <= 46 * 46
            let square = abs(dx) <= 18 && abs(dy) <= 18
            if ring || square { gray[y * logoSide + x] = 0 }
        }
    }
    return gray
}

/// Sends the receipt; true when every command was written whole.
func printReceipt(_ printer: Int) -> Bool {
    let logo = drawLogo()
    // Every command is sent, in this order, whatever an earlier one gave.
    let sent = [
        CP_Pos_ResetPrinter(handle: printer),

        CP_Pos_SetAlignment(handle: printer, nAlignment: CP_Pos_Alignment_HCenter),
        CP_Pos_PrintRasterImageFromPixels(handle: printer, img_data: logo, img_datalen: logo.count,
                                          img_width: logoSide, img_height: logoSide,
                                          img_stride: logoSide, img_format: CP_ImagePixelsFormat_Gray8,
                                          binarization_method: CP_ImageBinarizationMethod_Thresholding,
                                          compression_method: CP_ImageCompressionMethod_RunLength),
        CP_Pos_SetTextBold(handle: printer, nBold: 1),
        CP_Pos_SetTextScale(handle: printer, nWidthScale: 1, nHeightScale: 1),
        CP_Pos_PrintText(handle: printer, str: "SAMPLE RECEIPT\r\n"),
        CP_Pos_SetTextScale(handle: printer, nWidthScale: 0, nHeightScale: 0),
        CP_Pos_SetTextBold(handle: printer, nBold: 0),

        CP_Pos_SetAlignment(handle: printer, nAlignment: CP_Pos_Alignment_Left),
        CP_Pos_PrintText(handle: printer, str: "Coffee              2.50\r\n"),
        CP_Pos_PrintText(handle: printer, str: "Croissant           1.80\r\n"),
        CP_Pos_SetTextUnderline(handle: printer, nUnderline: 1),
        CP_Pos_PrintText(handle: printer, str: "Total               4.30\r\n"),
        CP_Pos_SetTextUnderline(handle: printer, nUnderline: 0),
        CP_Pos_FeedLine(handle: printer, numLines: 1),

        // UTF-8 text, in single-byte mode with the UTF-8 table.
        CP_Pos_SetSingleByteMode(handle: printer),
        CP_Pos_SetCharacterCodepage(handle: printer, nCharacterCodepage: codepageUTF8),
        CP_Pos_PrintTextInUTF8(handle: printer, str: "Merci, à bientôt ! Grüße\r\n"),

        // GBK text, in multibyte mode.
        CP_Pos_SetMultiByteMode(handle: printer),
        CP_Pos_SetMultiByteEncoding(handle: printer, nEncoding: encodingGBK),
        CP_Pos_PrintTextInGBK(handle: printer, str: "谢谢惠顾，欢迎再来\r\n"),
        CP_Pos_SetSingleByteMode(handle: printer),

        // The receipt number as a barcode with its text below, and a link as a QR code.
        CP_Pos_SetAlignment(handle: printer, nAlignment: CP_Pos_Alignment_HCenter),
        CP_Pos_SetBarcodeUnitWidth(handle: printer, nBarcodeUnitWidth: 2),
        CP_Pos_SetBarcodeHeight(handle: printer, nBarcodeHeight: 60),
        CP_Pos_SetBarcodeReadableTextPosition(handle: printer,
                                              nTextPosition: CP_Pos_BarcodeTextPrintPosition_BelowBarcode),
        CP_Pos_PrintBarcode_Code128Auto(handle: printer, str: "R-20240042"),
        CP_Pos_FeedLine(handle: printer, numLines: 1),
        CP_Pos_PrintQRCodeUseEpsonCmd(handle: printer, nQRCodeUnitWidth: 4, nECCLevel: CP_QRCodeECC_M,
                                      str: "https://example.com/receipt/20240042"),
        CP_Pos_FeedLine(handle: printer, numLines: 1),
        CP_Pos_PrintText(handle: printer, str: "Thank you\r\n"),
        CP_Pos_FeedDot(handle: printer, numDots: 120),
        CP_Pos_FeedAndHalfCutPaper(handle: printer),
    ]
    return !sent.contains(false)
}

func fail(_ message: String, status: Int32) -> Never {
    FileHandle.standardError.write(Data((message + "\n").utf8))
    exit(status)
}

let arguments = CommandLine.arguments
let program = arguments[0]
let usage = "usage: \(program) [FILE] | \(program) tcp IP [PORT]"

if arguments.count >= 2 && arguments[1] == "tcp" {
    guard arguments.count <= 4, arguments.count >= 3 else { fail(usage, status: 2) }
    let target = arguments[2]
    let port = arguments.count == 4 ? Int(arguments[3]) ?? -1 : 9100
    let printer = CP_Port_OpenTcp(local_ip: "", dest_ip: target, dest_port: port, timeout: 5000,
                                  velnormode: 0)
    guard printer != 0 else { fail("cannot open \(target)", status: 1) }
    let ok = printReceipt(printer)
    _ = CP_Port_Close(handle: printer)
    guard ok else { fail("printing to \(target) failed", status: 1) }
    print("printed a sample receipt to \(target)")
} else if arguments.count <= 2 {
    let target = arguments.count == 2 ? arguments[1] : "receipt.bin"
    let printer = CP_Port_OpenMemoryBuffer(buffer_size: 1 << 16)
    guard printer != 0 else { fail("cannot open a memory port", status: 1) }
    let ok = printReceipt(printer)
    let receipt = CP_Port_GetMemoryBufferData(handle: printer)
    _ = CP_Port_Close(handle: printer)
    guard ok else { fail("printing the receipt failed", status: 1) }
    guard FileManager.default.createFile(atPath: target, contents: Data(receipt)) else {
        fail("cannot write \(target)", status: 1)
    }
    print("printed a sample receipt to \(target)")
} else {
    fail(usage, status: 2)
}
