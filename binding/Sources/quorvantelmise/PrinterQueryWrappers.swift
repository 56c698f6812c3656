// What the library keeps about the printer behind a port (from the reports it sent: resolution,
// firmware version, status words, received count, printed page, label position adjustment),
// and the three commands beside them. Out-values are stored only when the query succeeded;
// the values of one call always come from one report. Times are wall-clock milliseconds since
// 1970, 0 while no report of that kind came.

import CQuorvantelmise

/// The width and height in mm and the dots per mm of the last resolution report (0 before one).
public func CP_Printer_GetPrinterResolutionInfo(handle: Int, width_mm: inout Int, height_mm: inout Int,
                                                dots_per_mm: inout Int) -> Bool {
    guard handle != 0 else { return false }
    var width: UInt32 = 0, height: UInt32 = 0, dots: UInt32 = 0
    guard CQuorvantelmise.CP_Printer_GetPrinterResolutionInfo(libraryHandle(handle), &width, &height,
                                                              &dots) else { return false }
    (width_mm, height_mm, dots_per_mm) = (Int(width), Int(height), Int(dots))
    return true
}

/// The version text of the last communication-test reply (at most 255 bytes); "" before one.
public func CP_Printer_GetPrinterFirmwareVersion(handle: Int) -> String {
    guard handle != 0 else { return "" }
    var buffer = [CChar](repeating: 0, count: 256)
    let read = buffer.withUnsafeMutableBufferPointer {
        CQuorvantelmise.CP_Printer_GetPrinterFirmwareVersion(libraryHandle(handle), $0.baseAddress,
                                                             UInt32($0.count), nil)
    }
    return read ? decodedText(buffer) : ""
}

/// The error and info words of the last status report (see the CP_PRINTERSTATUS_ tests).
public func CP_Printer_GetPrinterStatusInfo(handle: Int, printer_error_status: inout Int64,
                                            printer_info_status: inout Int64,
                                            timestamp_ms: inout Int64) -> Bool {
    guard handle != 0 else { return false }
    var error: UInt64 = 0, info: UInt64 = 0, time: UInt64 = 0
    guard CQuorvantelmise.CP_Printer_GetPrinterStatusInfo(libraryHandle(handle), &error, &info, &time)
    else { return false }
    (printer_error_status, printer_info_status, timestamp_ms) =
        (Int64(bitPattern: error), Int64(bitPattern: info), Int64(bitPattern: time))
    return true
}

/// The byte count of the last received-count report (0 to 4294967295).
public func CP_Printer_GetPrinterReceivedInfo(handle: Int, printer_received_byte_count: inout Int,
                                              timestamp_ms: inout Int64) -> Bool {
    countQuery(handle, &printer_received_byte_count, &timestamp_ms,
               CQuorvantelmise.CP_Printer_GetPrinterReceivedInfo)
}

/// The page id of the last printed-page report (0 to 4294967295).
public func CP_Printer_GetPrinterPrintedInfo(handle: Int, printer_printed_page_id: inout Int,
                                             timestamp_ms: inout Int64) -> Bool {
    countQuery(handle, &printer_printed_page_id, &timestamp_ms,
               CQuorvantelmise.CP_Printer_GetPrinterPrintedInfo)
}

private func countQuery(_ handle: Int, _ value: inout Int, _ timestamp_ms: inout Int64,
                        _ query: (UnsafeMutableRawPointer?, UnsafeMutablePointer<UInt32>?,
                                  UnsafeMutablePointer<UInt64>?) -> Bool) -> Bool {
    guard handle != 0 else { return false }
    var count: UInt32 = 0, time: UInt64 = 0
    guard query(libraryHandle(handle), &count, &time) else { return false }
    (value, timestamp_ms) = (Int(count), Int64(bitPattern: time))
    return true
}

/// The label print and tear position adjustments of the last report, in mm; false, with
/// nothing stored, until the printer reported its resolution.
public func CP_Printer_GetPrinterLabelPositionAdjustmentInfo(handle: Int,
                                                             label_print_position_adjustment: inout Double,
                                                             label_tear_position_adjustment: inout Double,
                                                             timestamp_ms: inout Int64) -> Bool {
    guard handle != 0 else { return false }
    var print = 0.0, tear = 0.0
    var time: UInt64 = 0
    guard CQuorvantelmise.CP_Printer_GetPrinterLabelPositionAdjustmentInfo(libraryHandle(handle), &print,
                                                                           &tear, &time)
    else { return false }
    (label_print_position_adjustment, label_tear_position_adjustment, timestamp_ms) =
        (print, tear, Int64(bitPattern: time))
    return true
}

/// Sends both adjustments (mm) in dots of the reported resolution (0 before any report).
public func CP_Printer_SetPrinterLabelPositionAdjustmentInfo(handle: Int,
                                                             label_print_position_adjustment: Double,
                                                             label_tear_position_adjustment: Double) -> Bool {
    guard handle != 0 else { return false }
    return CQuorvantelmise.CP_Printer_SetPrinterLabelPositionAdjustmentInfo(
        libraryHandle(handle), label_print_position_adjustment, label_tear_position_adjustment)
}

public func CP_Printer_ClearPrinterBuffer(handle: Int) -> Bool {
    guard handle != 0 else { return false }
    return CQuorvantelmise.CP_Printer_ClearPrinterBuffer(libraryHandle(handle))
}

public func CP_Printer_ClearPrinterError(handle: Int) -> Bool {
    guard handle != 0 else { return false }
    return CQuorvantelmise.CP_Printer_ClearPrinterError(libraryHandle(handle))
}
