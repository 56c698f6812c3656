import Foundation
import Testing
import quorvantelmise

/// The out-values of every query, each set to 7 beforehand so that a write shows.
struct QueryValues: Equatable, CustomStringConvertible {
    var width = 7, height = 7, dots = 7
    var error: Int64 = 7, info: Int64 = 7, statusTime: Int64 = 7
    var received = 7, receivedTime: Int64 = 7
    var printed = 7, printedTime: Int64 = 7
    var printAdjustment = 7.0, tearAdjustment = 7.0, adjustmentTime: Int64 = 7

    /// Runs the six queries on `handle`; their results in order.
    mutating func query(_ handle: Int) -> [Bool] {
        [CP_Printer_GetPrinterResolutionInfo(handle: handle, width_mm: &width, height_mm: &height,
                                             dots_per_mm: &dots),
         CP_Printer_GetPrinterStatusInfo(handle: handle, printer_error_status: &error,
                                         printer_info_status: &info, timestamp_ms: &statusTime),
         CP_Printer_GetPrinterReceivedInfo(handle: handle, printer_received_byte_count: &received,
                                           timestamp_ms: &receivedTime),
         CP_Printer_GetPrinterPrintedInfo(handle: handle, printer_printed_page_id: &printed,
                                          timestamp_ms: &printedTime),
         CP_Printer_GetPrinterLabelPositionAdjustmentInfo(handle: handle,
                                                          label_print_position_adjustment: &printAdjustment,
                                                          label_tear_position_adjustment: &tearAdjustment,
                                                          timestamp_ms: &adjustmentTime),
         CP_Printer_GetPrinterFirmwareVersion(handle: handle) != ""]
    }

    var description: String {
        "\(width)x\(height)mm \(dots)/mm, error \(error) info \(info) @\(statusTime), received \(received) "
            + "@\(receivedTime), printed \(printed) @\(printedTime), adjust \(printAdjustment)/\(tearAdjustment) "
            + "@\(adjustmentTime)"
    }
}

@Suite(.serialized) struct PrinterQueries {
    // Handle 0 calls nothing; a number the library does not hold is refused by it. Either way
    // every inout keeps its 7.
    @Test(arguments: [("handle 0", 0), ("never a handle", 0x1000)])
    func noHandleWritesNothing(_ name: String, handle: Int) {
        var values = QueryValues()
        #expect(values.query(handle) == [false, false, false, false, false, false], "\(name)")
        #expect(values == QueryValues(), "\(name)")
        #expect(!CP_Printer_SetPrinterLabelPositionAdjustmentInfo(handle: handle, label_print_position_adjustment: 1,
                                                                   label_tear_position_adjustment: 1))
        #expect(!CP_Printer_ClearPrinterBuffer(handle: handle))
        #expect(!CP_Printer_ClearPrinterError(handle: handle))
    }

    // Before any report: zeros and time 0, true; the label adjustment needs the resolution
    // first and leaves its values alone.
    @Test func freshPortReportsZerosAndNoAdjustment() throws {
        try withMemoryPort { port in
            var values = QueryValues()
            #expect(values.query(port) == [true, true, true, true, false, false])
            var expected = QueryValues()
            (expected.width, expected.height, expected.dots) = (0, 0, 0)
            (expected.error, expected.info, expected.statusTime) = (0, 0, 0)
            (expected.received, expected.receivedTime, expected.printed, expected.printedTime) = (0, 0, 0, 0)
            #expect(values == expected)
        }
    }

    @Test func setAndClearSendTheirCommands() throws {
        try withMemoryPort { port in
            // No resolution reported: both adjustments go out as 0 dots.
            #expect(CP_Printer_SetPrinterLabelPositionAdjustmentInfo(handle: port, label_print_position_adjustment: -1.5,
                                                                      label_tear_position_adjustment: 2))
            #expect(CP_Printer_ClearPrinterBuffer(handle: port))
            #expect(CP_Printer_ClearPrinterError(handle: port))
            #expect(hex(CP_Port_GetMemoryBufferData(handle: port))
                    == "1F 28 4C 04 00 53 00 00 53 10 05 FF 01 02 10 05 01" + String(repeating: " 00", count: 61))
        }
        // A command that does not fit is not written whole: false.
        try withMemoryPort(size: 63) { port in
            #expect(!CP_Printer_ClearPrinterError(handle: port))
        }
    }

    // The reports of a printer, each kind once, through the loopback printer: the status
    // report comes last, so once its event arrived the others were taken in.
    @Test func queriesReadTheLastReports() throws {
        try withPrinterPort(queryTheLastReports)
    }

    private func queryTheLastReports(printer: LoopbackPrinter, port: Int) {
        #expect(printer.waitForConnections(1))
        let tag = Tags.fresh(1)[0]
        let statusReports = EventRecorder<Int>()
        #expect(CP_Printer_AddOnPrinterStatusEvent(event: { handle, _, _ in
            if handle == port { statusReports.record(handle) }
        }, tag: tag))
        defer { _ = CP_Printer_RemoveOnPrinterStatusEvent(tag: tag) }

        let firmware = String(repeating: "v", count: 250) + "1.2.3"
        let before = Int64(Date().timeIntervalSince1970 * 1000)
        // The packet comes first: the packet reader also reads the frames' bytes, and these
        // frames happen to hold a header that passes its check.
        printer.send(LoopbackPrinter.framedPacket(type: 0xFF, command: 32, parameter: 0, body: Array(firmware.utf8))
            + LoopbackPrinter.statusFrame([0, 0, 8, 80, 120], type: 1)  // 8 dots/mm, 80 x 120 mm
            + LoopbackPrinter.statusFrame([0xFF, 0xFF, 0xFF, 0xFF, 0], type: 3)  // received, all ones
            + LoopbackPrinter.statusFrame([0x01, 0x02, 0x03, 0x04, 0], type: 2)  // page id, low byte first
            + LoopbackPrinter.statusFrame([0x10, 0xF4, 0, 0, 0], type: 4)  // tear +16, print -12 dots
            + LoopbackPrinter.statusFrame([0x80, 0x00, 0, 0, 0], type: 6)  // error bit 23
            + LoopbackPrinter.statusFrame([0, 0x05, 0x03, 0, 0], type: 0))  // info 05, error 03
        #expect(statusReports.waitFor(2))

        var values = QueryValues()
        #expect(values.query(port) == [true, true, true, true, true, true])
        #expect((values.width, values.height, values.dots) == (80, 120, 8))
        #expect((values.error, values.info) == (0x80_0003, 0x05))
        #expect(values.received == 4_294_967_295, "a count of all ones is no negative number")
        #expect(values.printed == 0x0403_0201)
        #expect((values.printAdjustment, values.tearAdjustment) == (-1.5, 2.0))
        let after = Int64(Date().timeIntervalSince1970 * 1000)
        for time in [values.statusTime, values.receivedTime, values.printedTime, values.adjustmentTime] {
            #expect(time >= before - 1000 && time <= after + 1000, "wall-clock milliseconds: \(time)")
        }
        #expect(CP_Printer_GetPrinterFirmwareVersion(handle: port) == firmware, "255 bytes, whole")

        // The adjustments go out in dots of the reported resolution, tear first.
        #expect(CP_Printer_SetPrinterLabelPositionAdjustmentInfo(handle: port, label_print_position_adjustment: -1.5,
                                                                  label_tear_position_adjustment: 2))
        #expect(printer.waitForBytes(9))
        #expect(hex(printer.received()) == "1F 28 4C 04 00 53 10 F4 B7")
    }
}
