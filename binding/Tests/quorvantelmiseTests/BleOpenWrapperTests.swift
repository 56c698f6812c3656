import Foundation
import Testing
import quorvantelmise

/// An open wrapper and the profile of printer it speaks to.
struct BleOpen: CustomTestStringConvertible, Sendable {
    let name: String
    let profile: BedPrinter.Profile
    let open: @Sendable (String, Int) -> Int
    var testDescription: String { name }
}

// The Bluetooth LE open wrappers end to end, over the simulated radio: each opens a printer
// of its profile by address, writes, reads what the printer sends and closes.
@Suite(.serialized) struct BleOpenWrappers {
    static let opens: [BleOpen] = [
        BleOpen(name: "OpenBtBle", profile: .plain) { CP_Port_OpenBtBle(address: $0, velnormode: $1) },
        BleOpen(name: "OpenBtBleProtoV2", profile: .groupPacket) {
            CP_Port_OpenBtBleProtoV2(address: $0, velnormode: $1)
        },
        BleOpen(name: "OpenBtBleProtoV3", profile: .credit) {
            CP_Port_OpenBtBleProtoV3(address: $0, velnormode: $1)
        },
    ] + [BedPrinter.Profile.plain, .groupPacket, .credit].map { profile in
        // The automatic profile, which finds out which one the printer speaks.
        BleOpen(name: "OpenBtBleProtoVA on \(profile)", profile: profile) {
            CP_Port_OpenBtBleProtoVA(address: $0, velnormode: $1)
        }
    }

    @Test(arguments: opens)
    func opensWritesReadsAndCloses(_ row: BleOpen) throws {
        try withTestBed {
            let printer = try BedPrinter(profile: row.profile)
            let port = row.open(printer.address, 0)
            try #require(port != 0)
            #expect(CP_Port_IsOpened(handle: port))
            #expect(printer.isConnected)

            // More than one piece of every profile, each byte distinct.
            let bytes = (0..<300).map { UInt8(truncatingIfNeeded: $0 * 7) }
            #expect(CP_Port_Write(handle: port, buffer: bytes, count: bytes.count, timeout: 2000) == 300)
            #expect(printer.received == bytes)

            #expect(printer.send([0x41, 0x42, 0x43]))
            var buffer = [UInt8](repeating: 0xEE, count: 5)
            #expect(CP_Port_Read(handle: port, buffer: &buffer, count: 3, timeout: 2000) == 3)
            #expect(hex(buffer) == "41 42 43 EE EE")

            #expect(CP_Port_Close(handle: port))
            #expect(!printer.isConnected)
        }
    }

    // A mode beyond signed 32 bits is refused without a search: wrapped, the open would reach
    // the printer placed at the address and connect.
    @Test(arguments: opens.prefix(4))
    func aModeOutOfRangeIsNotTried(_ row: BleOpen) throws {
        try withTestBed {
            let printer = try BedPrinter(profile: row.profile)
            for mode in [1 << 31, -(1 << 31) - 1] {
                let port = row.open(printer.address, mode)
                #expect(port == 0, "mode \(mode)")
                if port != 0 { _ = CP_Port_Close(handle: port) }
                #expect(!printer.isConnected, "mode \(mode)")
            }
        }
    }

    // No printer at the address: the search gives up after the bed's shortened time.
    @Test(arguments: opens.prefix(4))
    func aPrinterNeverSeenIsNotOpened(_ row: BleOpen) throws {
        try withTestBed {
            let start = ContinuousClock.now
            #expect(row.open("51:56:53:57:FF:FF", 0) == 0)
            #expect(ContinuousClock.now - start < .seconds(10))
        }
    }
}
