import Testing
import quorvantelmise

/// One named condition of a status word and the one bit it reads.
struct WordBit: CustomTestStringConvertible, @unchecked Sendable {  // the tests are pure
    let word: String
    let name: String
    let mask: Int64
    let test: (Int64) -> Bool
    init(_ word: String, _ name: String, _ mask: Int64, _ test: @escaping (Int64) -> Bool) {
        (self.word, self.name, self.mask, self.test) = (word, name, mask, test)
    }
    var testDescription: String { "\(word) \(name)" }
}

/// One named condition of the real-time status: bit `bit` of reply byte `byte`.
struct ReplyBit: CustomTestStringConvertible, @unchecked Sendable {
    let name: String
    let byte: Int
    let bit: Int
    let trueWhenClear: Bool
    let test: (Int) -> Bool
    init(_ name: String, byte: Int, bit: Int, trueWhenClear: Bool = false,
         _ test: @escaping (Int) -> Bool) {
        (self.name, self.byte, self.bit, self.trueWhenClear, self.test) = (name, byte, bit, trueWhenClear, test)
    }
    var testDescription: String { name }
    var mask: Int { 1 << (8 * byte + bit) }
}

@Suite struct StatusBits {
    static let errorBits: [WordBit] = [
        WordBit("error", "CUTTER", 0x1, CP_PRINTERSTATUS_ERROR_CUTTER),
        WordBit("error", "FLASH", 0x2, CP_PRINTERSTATUS_ERROR_FLASH),
        WordBit("error", "NOPAPER", 0x4, CP_PRINTERSTATUS_ERROR_NOPAPER),
        WordBit("error", "VOLTAGE", 0x8, CP_PRINTERSTATUS_ERROR_VOLTAGE),
        WordBit("error", "MARKER", 0x10, CP_PRINTERSTATUS_ERROR_MARKER),
        WordBit("error", "ENGINE", 0x20, CP_PRINTERSTATUS_ERROR_ENGINE),
        WordBit("error", "OVERHEAT", 0x40, CP_PRINTERSTATUS_ERROR_OVERHEAT),
        WordBit("error", "COVERUP", 0x80, CP_PRINTERSTATUS_ERROR_COVERUP),
        WordBit("error", "MOTOR", 0x100, CP_PRINTERSTATUS_ERROR_MOTOR),
    ]

    static let infoBits: [WordBit] = [
        WordBit("info", "LABELPAPER", 0x2, CP_PRINTERSTATUS_INFO_LABELPAPER),
        WordBit("info", "LABELMODE", 0x4, CP_PRINTERSTATUS_INFO_LABELMODE),
        WordBit("info", "HAVEDATA", 0x8, CP_PRINTERSTATUS_INFO_HAVEDATA),
        WordBit("info", "NOPAPERCANCELED", 0x10, CP_PRINTERSTATUS_INFO_NOPAPERCANCELED),
        WordBit("info", "PAPERNOFETCH", 0x20, CP_PRINTERSTATUS_INFO_PAPERNOFETCH),
        WordBit("info", "PRINTIDLE", 0x40, CP_PRINTERSTATUS_INFO_PRINTIDLE),
        WordBit("info", "RECVIDLE", 0x80, CP_PRINTERSTATUS_INFO_RECVIDLE),
    ]

    static let replyBits: [ReplyBit] = [
        ReplyBit("DRAWER_OPENED", byte: 0, bit: 2, trueWhenClear: true, CP_RTSTATUS_DRAWER_OPENED),
        ReplyBit("OFFLINE", byte: 0, bit: 3, CP_RTSTATUS_OFFLINE),
        ReplyBit("COVERUP", byte: 1, bit: 2, CP_RTSTATUS_COVERUP),
        ReplyBit("FEED_PRESSED", byte: 1, bit: 3, CP_RTSTATUS_FEED_PRESSED),
        ReplyBit("NOPAPER", byte: 1, bit: 5, CP_RTSTATUS_NOPAPER),
        ReplyBit("ERROR_OCCURED", byte: 1, bit: 6, CP_RTSTATUS_ERROR_OCCURED),
        ReplyBit("CUTTER_ERROR", byte: 2, bit: 3, CP_RTSTATUS_CUTTER_ERROR),
        ReplyBit("UNRECOVERABLE_ERROR", byte: 2, bit: 5, CP_RTSTATUS_UNRECOVERABLE_ERROR),
        ReplyBit("DEGREE_OR_VOLTAGE_OVERRANGE", byte: 2, bit: 6, CP_RTSTATUS_DEGREE_OR_VOLTAGE_OVERRANGE),
        ReplyBit("PAPER_NEAREND", byte: 3, bit: 3, CP_RTSTATUS_PAPER_NEAREND),
        ReplyBit("PAPER_TAKEOUT", byte: 3, bit: 2, CP_RTSTATUS_PAPER_TAKEOUT),
    ]

    // Each test reads its own bit and no other: on a word holding only that bit exactly this
    // test is true, and on a word holding every other bit it is false. The sign of the word
    // plays no part.
    @Test(arguments: errorBits + infoBits)
    func wordTestReadsItsBitAlone(_ row: WordBit) {
        let family = Self.errorBits + Self.infoBits
        #expect(family.filter { $0.word == row.word && $0.test(row.mask) }.map(\.name) == [row.name])
        #expect(!row.test(~row.mask))
        #expect(!row.test(0))
        #expect(row.test(-1))
        #expect(row.test(Int64.min | row.mask))
    }

    @Test func bitsWithoutANameAreReadByNoTest() {
        #expect(Self.errorBits.allSatisfy { !$0.test(~0x1FF) })
        #expect(Self.infoBits.allSatisfy { !$0.test(0x1 | ~0xFF) })
    }

    // A byte shifted into the wrong reply, or a bit read the wrong way round, shows: the bit
    // alone gives the test's "set" answer, everything else (the other 31 bits, and bits 32 and
    // above) gives its "clear" answer.
    @Test(arguments: replyBits)
    func realTimeTestReadsItsByteAndBit(_ row: ReplyBit) {
        let whenSet = !row.trueWhenClear
        #expect(row.test(row.mask) == whenSet)
        #expect(row.test(0) == row.trueWhenClear)
        #expect(row.test(0xFFFF_FFFF & ~row.mask) == row.trueWhenClear)
        #expect(row.test(~0xFFFF_FFFF) == row.trueWhenClear, "bits 32 and above never matter")
        #expect(row.test(-1) == whenSet)
    }

    @Test(arguments: [
        ("byte 1 is 0x20", 0x2000, "NOPAPER", true),
        ("byte 3 is 0x08", 0x0800_0000, "PAPER_NEAREND", true),
        ("0x0800 lies in byte 1", 0x0800, "OFFLINE", false),
        ("bit 2 of byte 0 set", 0x04, "DRAWER_OPENED", false),
        ("bit 2 of byte 1 set", 0x0400, "DRAWER_OPENED", true),
    ])
    func realTimeExamples(_ name: String, status: Int, test: String, expected: Bool) throws {
        let row = try #require(Self.replyBits.first { $0.name == test })
        #expect(row.test(status) == expected, "\(name)")
    }

    // The four reply bytes 16 12 12 8C, gathered by the library from the loopback printer and
    // widened with sign.
    @Test func realTimeStatusFromThePrinterReadsAsItsBytesSay() throws {
        try withPrinterPort { printer, port in
            printer.addReply(trigger: [0x10, 0x04, 0x01, 0x10, 0x04, 0x02, 0x10, 0x04, 0x03, 0x10, 0x04, 0x04],
                             reply: [0x16, 0x12, 0x12, 0x8C], once: true)
            let status = CP_Pos_QueryRTStatus(handle: port, timeout: 5000)
            #expect(status == -1_944_972_778)
            // 0x16: drawer bit set (not opened), on line; 0x12, 0x12: no paper, cover or cutter
            // conditions; 0x8C: paper near its end and taken out.
            let truths = Self.replyBits.filter { $0.test(status) }.map(\.name)
            #expect(truths == ["PAPER_NEAREND", "PAPER_TAKEOUT"])
        }
    }
}
