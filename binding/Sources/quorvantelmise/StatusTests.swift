// The named conditions of the printer's three status forms: the error and info words of the
// printer-status event and CP_Printer_GetPrinterStatusInfo, and the real-time status of
// CP_Pos_QueryRTStatus. Pure bit tests; nothing here calls the library.

// MARK: Error word

public func CP_PRINTERSTATUS_ERROR_CUTTER(error_status: Int64) -> Bool { error_status & 0x1 != 0 }
public func CP_PRINTERSTATUS_ERROR_FLASH(error_status: Int64) -> Bool { error_status & 0x2 != 0 }
public func CP_PRINTERSTATUS_ERROR_NOPAPER(error_status: Int64) -> Bool { error_status & 0x4 != 0 }
public func CP_PRINTERSTATUS_ERROR_VOLTAGE(error_status: Int64) -> Bool { error_status & 0x8 != 0 }
public func CP_PRINTERSTATUS_ERROR_MARKER(error_status: Int64) -> Bool { error_status & 0x10 != 0 }
public func CP_PRINTERSTATUS_ERROR_ENGINE(error_status: Int64) -> Bool { error_status & 0x20 != 0 }
public func CP_PRINTERSTATUS_ERROR_OVERHEAT(error_status: Int64) -> Bool { error_status & 0x40 != 0 }
public func CP_PRINTERSTATUS_ERROR_COVERUP(error_status: Int64) -> Bool { error_status & 0x80 != 0 }
public func CP_PRINTERSTATUS_ERROR_MOTOR(error_status: Int64) -> Bool { error_status & 0x100 != 0 }

// MARK: Info word (bit 0 has no name)

public func CP_PRINTERSTATUS_INFO_LABELPAPER(info_status: Int64) -> Bool { info_status & 0x2 != 0 }
public func CP_PRINTERSTATUS_INFO_LABELMODE(info_status: Int64) -> Bool { info_status & 0x4 != 0 }
public func CP_PRINTERSTATUS_INFO_HAVEDATA(info_status: Int64) -> Bool { info_status & 0x8 != 0 }
public func CP_PRINTERSTATUS_INFO_NOPAPERCANCELED(info_status: Int64) -> Bool { info_status & 0x10 != 0 }
public func CP_PRINTERSTATUS_INFO_PAPERNOFETCH(info_status: Int64) -> Bool { info_status & 0x20 != 0 }
public func CP_PRINTERSTATUS_INFO_PRINTIDLE(info_status: Int64) -> Bool { info_status & 0x40 != 0 }
public func CP_PRINTERSTATUS_INFO_RECVIDLE(info_status: Int64) -> Bool { info_status & 0x80 != 0 }

// MARK: Real-time status: byte k is the printer's answer to real-time request k + 1

/// Bit `bit` of reply byte `byte`; the other bytes and bits 32 and above play no part.
@inline(__always)
private func replyBit(_ status: Int, byte: Int, bit: Int) -> Bool {
    (status >> (8 * byte)) & (1 << bit) != 0
}

/// The one test true on a clear bit: the drawer counts as opened when bit 2 of byte 0 is 0.
public func CP_RTSTATUS_DRAWER_OPENED(status: Int) -> Bool { !replyBit(status, byte: 0, bit: 2) }
public func CP_RTSTATUS_OFFLINE(status: Int) -> Bool { replyBit(status, byte: 0, bit: 3) }
public func CP_RTSTATUS_COVERUP(status: Int) -> Bool { replyBit(status, byte: 1, bit: 2) }
public func CP_RTSTATUS_FEED_PRESSED(status: Int) -> Bool { replyBit(status, byte: 1, bit: 3) }
public func CP_RTSTATUS_NOPAPER(status: Int) -> Bool { replyBit(status, byte: 1, bit: 5) }
public func CP_RTSTATUS_ERROR_OCCURED(status: Int) -> Bool { replyBit(status, byte: 1, bit: 6) }
public func CP_RTSTATUS_CUTTER_ERROR(status: Int) -> Bool { replyBit(status, byte: 2, bit: 3) }
public func CP_RTSTATUS_UNRECOVERABLE_ERROR(status: Int) -> Bool { replyBit(status, byte: 2, bit: 5) }
public func CP_RTSTATUS_DEGREE_OR_VOLTAGE_OVERRANGE(status: Int) -> Bool {
    replyBit(status, byte: 2, bit: 6)
}
public func CP_RTSTATUS_PAPER_NEAREND(status: Int) -> Bool { replyBit(status, byte: 3, bit: 3) }
public func CP_RTSTATUS_PAPER_TAKEOUT(status: Int) -> Bool { replyBit(status, byte: 3, bit: 2) }
