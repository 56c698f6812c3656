import Testing
import quorvantelmise

/// A framed packet of type 255, the type the library sends.
private func packet(_ command: UInt16, _ parameter: UInt32 = 0, _ body: [UInt8] = []) -> [UInt8] {
    LoopbackPrinter.framedPacket(type: 0xFF, command: command, parameter: parameter, body: body)
}

/// Two texts as one packet body carries them: each in UTF-8 with a NUL.
private func textPair(_ first: String, _ second: String) -> [UInt8] {
    Array(first.utf8) + [0] + Array(second.utf8) + [0]
}

/// The basic parameters, all 0 but the baud rate and page length given.
private func sendBasicParameters(_ port: Int, baudrate: Int = 9600, pageLength: Int = 0) -> Bool {
    CP_Proto_SetPTPBasicParameters(handle: port, baudrate: baudrate, codepage: 0, density: 0,
                                   asciiFontType: 0, lineFeed: 0, idleTime: 0, powerOffTime: 0,
                                   maxFeedLength: 0, pageLength: pageLength)
}

private let zeros = { (count: Int) in Array(repeating: "00", count: count).joined(separator: " ") }

@Suite struct MaintenanceWrappers {
    static let commands: [CommandCase] = [
        CommandCase("SetSystemNameAndSerialNumber", hex(packet(100, 0, textPair("AB", "c")))) {
            CP_Proto_SetSystemNameAndSerialNumber(handle: $0, systemName: "AB", serialNumber: "c")
        },
        CommandCase("SetBluetoothNameAndPassword", hex(packet(97, 0, textPair("BT-1", "0000")))) {
            CP_Proto_SetBluetoothNameAndPassword(handle: $0, bluetoothName: "BT-1",
                                                 bluetoothPassword: "0000")
        },
        // 254 UTF-8 bytes of text and two NULs fill the 256 a packet may carry.
        CommandCase("SetSystemNameAndSerialNumber at the limit",
                    hex(packet(100, 0, textPair(String(repeating: "é", count: 126), "xy")))) {
            CP_Proto_SetSystemNameAndSerialNumber(handle: $0,
                                                  systemName: String(repeating: "é", count: 126),
                                                  serialNumber: "xy")
        },
        // Baud rate big-endian, four bytes, then four 16-bit values little-endian: the last
        // two are the feed and page lengths, in that order.
        CommandCase("SetPTPBasicParameters",
                    hex(packet(96, 0, [0x00, 0x01, 0xC2, 0x00, 0xFF, 0x03, 0x01, 0x2A,
                                       0x34, 0x12, 0xFF, 0xFF, 0x58, 0x02, 0x80, 0x00]))) {
            CP_Proto_SetPTPBasicParameters(handle: $0, baudrate: 115200, codepage: 0x1FF, density: 3,
                                           asciiFontType: 1, lineFeed: 0x2A, idleTime: 0x1234,
                                           powerOffTime: -1, maxFeedLength: 600, pageLength: 0x10080)
        },
        // The 31-byte hardware-setting record with only the print speed selected (mask bit 8).
        CommandCase("SetPrintSpeed",
                    "1F 53 00 00 01 00 00 00 00 00 13 \(zeros(13)) 34 \(zeros(5)) 34") {
            CP_Settings_Hardware_SetPrintSpeed(handle: $0, nSpeed: 0x1234)
        },
    ]

    @Test(arguments: commands)
    func commandSendsItsPacket(_ row: CommandCase) throws {
        try expectCommand(row)
    }

    static let refused: [CommandCase] = [
        // One UTF-8 byte too many: 255 bytes of text.
        CommandCase("SetSystemNameAndSerialNumber beyond the limit", "") {
            CP_Proto_SetSystemNameAndSerialNumber(handle: $0,
                                                  systemName: String(repeating: "é", count: 127),
                                                  serialNumber: "x")
        },
        CommandCase("SetBluetoothNameAndPassword beyond the limit", "") {
            CP_Proto_SetBluetoothNameAndPassword(handle: $0, bluetoothName: "",
                                                 bluetoothPassword: String(repeating: "p", count: 255))
        },
        CommandCase("SetPTPBasicParameters, baud rate beyond Int32.max", "") {
            sendBasicParameters($0, baudrate: Int(Int32.max) + 1)
        },
        CommandCase("SetPTPBasicParameters, page length wide", "") {
            sendBasicParameters($0, pageLength: beyond32Bits)
        },
        CommandCase("SetPrintSpeed wide", "") {
            CP_Settings_Hardware_SetPrintSpeed(handle: $0, nSpeed: beyond32Bits + 5)
        },
    ]

    @Test(arguments: refused)
    func refusedCallSendsNothing(_ row: CommandCase) throws {
        try expectRefused(row)
    }

    @Test func queriesWithHandleZeroGiveTheirFailureValues() {
        #expect(CP_Proto_QueryBatteryLevel(handle: 0, timeout: 10) == -1)
        #expect(CP_Proto_QuerySerialNumber(handle: 0, timeout: 10) == nil)
    }
}

// The two queries, against a printer on 127.0.0.1 that answers framed packets.
@Suite struct MaintenanceQueries {
    private static let batteryQuery = packet(63, 86)
    private static let serialQuery = packet(63, 78)

    // The level is the number after the reply's first four bytes ("87").
    @Test func batteryLevelIsTheRepliedNumber() throws {
        try withPrinterPort { printer, port in
            let reply = packet(63, 86, [0, 0, 0, 0, 0x38, 0x37])
            printer.addReply(trigger: Self.batteryQuery, reply: reply, once: true)
            #expect(CP_Proto_QueryBatteryLevel(handle: port, timeout: 3000) == 87)
            #expect(printer.received() == Self.batteryQuery)
            // The reply was used up: no reply.
            #expect(CP_Proto_QueryBatteryLevel(handle: port, timeout: 50) == -1)
        }
    }

    // A timeout that does not fit is refused without asking: the printer answers every query
    // at once, so a wrapped one (3000 ms, or 49 days for -1) would come back with the answer.
    @Test func queriesWithATimeoutBeyondItsWidthAskNothing() throws {
        try withPrinterPort { printer, port in
            printer.addReply(trigger: Self.batteryQuery, reply: packet(63, 86, [0, 0, 0, 0, 0x38, 0x37]))
            printer.addReply(trigger: Self.serialQuery, reply: packet(63, 78, Array("SN1".utf8)))
            #expect(CP_Proto_QueryBatteryLevel(handle: port, timeout: 3000) == 87)
            #expect(CP_Proto_QuerySerialNumber(handle: port, timeout: 3000) == "SN1")
            for timeout in [-1, beyond32Bits + 3000] {
                #expect(CP_Proto_QueryBatteryLevel(handle: port, timeout: timeout) == -1, "\(timeout)")
                #expect(CP_Proto_QuerySerialNumber(handle: port, timeout: timeout) == nil, "\(timeout)")
            }
            #expect(printer.received() == Self.batteryQuery + Self.serialQuery)
        }
    }

    // The text before the first NUL, at most the 256 bytes of the reply buffer: a reply of
    // 300 bytes has no NUL there.
    @Test(arguments: [
        ("serial number", Array("SN123456".utf8), "SN123456"),
        ("no data", [], ""),
        ("a NUL inside", [0x41, 0x42, 0x00, 0x43, 0x44], "AB"),
        ("300 bytes", [UInt8](repeating: 0x37, count: 300), String(repeating: "7", count: 256)),
        ("ill-formed UTF-8", [0x41, 0xFF, 0x42], "A\u{FFFD}B"),
    ] as [(String, [UInt8], String)])
    func serialNumberIsTheRepliedText(_ name: String, body: [UInt8], text: String) throws {
        try withPrinterPort { printer, port in
            printer.addReply(trigger: Self.serialQuery, reply: packet(63, 78, body), once: true)
            #expect(CP_Proto_QuerySerialNumber(handle: port, timeout: 3000) == text, "\(name)")
        }
    }

    @Test func serialNumberWithoutReplyIsNil() throws {
        try withPrinterPort { printer, port in
            #expect(CP_Proto_QuerySerialNumber(handle: port, timeout: 50) == nil)
            #expect(printer.waitForBytes(Self.serialQuery.count))
            #expect(printer.received() == Self.serialQuery)
        }
    }
}
