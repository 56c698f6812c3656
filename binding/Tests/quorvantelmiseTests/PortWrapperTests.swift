import Testing
import quorvantelmise

@Suite struct PortWrappers {
    // Handle 0 gives the failure value at once; inout arrays keep their contents, and
    // arguments that would not narrow are never looked at.
    static let zeroHandle: [WrapperCase] = [
        WrapperCase(name: "GetMemoryBufferData", expected: "[]") {
            "\(CP_Port_GetMemoryBufferData(handle: 0))"
        },
        WrapperCase(name: "ClearMemoryBufferData", expected: "false") {
            "\(CP_Port_ClearMemoryBufferData(handle: 0))"
        },
        WrapperCase(name: "Write", expected: "-1") {
            "\(CP_Port_Write(handle: 0, buffer: [1, 2], count: 2, timeout: 10))"
        },
        WrapperCase(name: "Write with a count beyond the array", expected: "-1") {
            "\(CP_Port_Write(handle: 0, buffer: [], count: 1 << 40, timeout: -1))"
        },
        WrapperCase(name: "Read", expected: "-1 [7, 7]") {
            var buffer: [UInt8] = [7, 7]
            let result = CP_Port_Read(handle: 0, buffer: &buffer, count: 2, timeout: 10)
            return "\(result) \(buffer)"
        },
        WrapperCase(name: "ReadUntilByte", expected: "-1 [7, 7]") {
            var buffer: [UInt8] = [7, 7]
            let result = CP_Port_ReadUntilByte(handle: 0, buffer: &buffer, count: 2, timeout: 10,
                                               breakByte: 0x0A)
            return "\(result) \(buffer)"
        },
        WrapperCase(name: "Available", expected: "-1") { "\(CP_Port_Available(handle: 0))" },
        WrapperCase(name: "SkipAvailable", expected: "false") {
            "\(CP_Port_SkipAvailable(handle: 0))"
        },
        WrapperCase(name: "IsConnectionValid", expected: "false") {
            "\(CP_Port_IsConnectionValid(handle: 0))"
        },
        WrapperCase(name: "IsOpened", expected: "false") { "\(CP_Port_IsOpened(handle: 0))" },
        WrapperCase(name: "Close", expected: "false") { "\(CP_Port_Close(handle: 0))" },
    ]

    @Test(arguments: zeroHandle)
    func zeroHandleGivesTheFailureValue(_ row: WrapperCase) {
        #expect(row.call() == row.expected)
    }

    @Test func memoryPortKeepsItsWritesInOrderUntilCleared() throws {
        try withMemoryPort(size: 64) { port in
            #expect(CP_Port_IsOpened(handle: port))
            #expect(CP_Port_Write(handle: port, buffer: [0x1B, 0x40, 0x0A], count: 3, timeout: 100) == 3)
            // Only the first `count` bytes of the array go.
            #expect(CP_Port_Write(handle: port, buffer: [0x61, 0x62, 0x63, 0x64, 0xEE], count: 4,
                                  timeout: 100) == 4)
            let written = CP_Port_GetMemoryBufferData(handle: port)
            #expect(hex(written) == "1B 40 0A 61 62 63 64")
            #expect(CP_Port_ClearMemoryBufferData(handle: port))
            #expect(CP_Port_GetMemoryBufferData(handle: port) == [])
            #expect(written.count == 7, "the earlier copy stays")
        }
    }

    // Each write is refused (or, for nothing to write, accepted) without a byte reaching the
    // port; a wrapped count or timeout would have written.
    static let refusedWrites: [(name: String, buffer: [UInt8], count: Int, timeout: Int, result: Int)] = [
        ("count beyond the array", [1, 2, 3], 4, 100, -1),
        ("negative count", [1, 2, 3], -1, 100, -1),
        ("count beyond 32 bits", [1, 2, 3], (1 << 32) + 3, 100, -1),
        ("negative timeout", [1, 2, 3], 3, -1, -1),
        ("timeout beyond 32 bits", [1, 2, 3], 3, 1 << 32, -1),
        ("more than the port holds", [UInt8](repeating: 0x41, count: 9), 9, 100, -1),
        ("nothing from an empty array", [], 0, 100, 0),
    ]

    @Test(arguments: refusedWrites.indices)
    func writesThatDoNotFitSendNothing(_ index: Int) throws {
        let row = Self.refusedWrites[index]
        try withMemoryPort(size: 8) { port in
            #expect(CP_Port_Write(handle: port, buffer: row.buffer, count: row.count,
                                  timeout: row.timeout) == row.result, "\(row.name)")
            #expect(CP_Port_GetMemoryBufferData(handle: port) == [], "\(row.name)")
        }
    }

    @Test(arguments: [("empty", 0), ("negative", -1), ("beyond 32 bits", (1 << 32) + 16)])
    func memoryPortOfNoUsableSizeIsNotOpened(_ name: String, size: Int) {
        #expect(CP_Port_OpenMemoryBuffer(buffer_size: size) == 0, "\(name)")
    }

    @Test func closingWhatIsNotOpenIsRefused() throws {
        #expect(!CP_Port_Close(handle: 0x1000), "never a handle")
        let port = CP_Port_OpenMemoryBuffer(buffer_size: 16)
        try #require(port != 0)
        #expect(CP_Port_Close(handle: port))
    }

    @Test func tcpPortWritesReadsInPlaceAndCloses() throws {
        try withPrinterPort(bodyCloses: true) { printer, port in
            printer.addReply(trigger: [0x10, 0x04, 0x01], reply: [0x41, 0x42])
            #expect(CP_Port_IsOpened(handle: port))
            #expect(CP_Port_IsConnectionValid(handle: port))
            #expect(CP_Port_GetMemoryBufferData(handle: port) == [], "not a memory port")

            #expect(CP_Port_Write(handle: port, buffer: [0x10, 0x04, 0x01, 0xEE], count: 3,
                                  timeout: 1000) == 3)
            #expect(printer.waitForBytes(3))
            #expect(hex(printer.received()) == "10 04 01")

            // Two bytes come for four asked: the first two elements change, no others, and the
            // array keeps its length.
            var buffer = [UInt8](repeating: 0xEE, count: 10)
            #expect(CP_Port_Read(handle: port, buffer: &buffer, count: 4, timeout: 300) == 2)
            #expect(hex(buffer) == "41 42 EE EE EE EE EE EE EE EE")

            #expect(CP_Port_Close(handle: port))
            #expect(printer.waitForClientClose())
        }
    }

    @Test func readUntilByteStopsAtTheByteAndLeavesTheRest() throws {
        try withPrinterPort { printer, port in
            #expect(printer.waitForConnections(1))
            printer.send([0x41, 0x42, 0x0A, 0x43])

            var buffer = [UInt8](repeating: 0, count: 8)
            let start = ContinuousClock.now
            #expect(CP_Port_ReadUntilByte(handle: port, buffer: &buffer, count: 8, timeout: 20_000,
                                          breakByte: 0x0A) == 3)
            #expect(ContinuousClock.now - start < .seconds(10), "returns at the byte, not the timeout")
            #expect(hex(buffer.prefix(3)) == "41 42 0A")

            // A read into an array shorter than its count takes nothing.
            var short = [UInt8](repeating: 0, count: 2)
            #expect(CP_Port_Read(handle: port, buffer: &short, count: 3, timeout: 1000) == -1)
            #expect(CP_Port_ReadUntilByte(handle: port, buffer: &short, count: 3, timeout: 1000,
                                          breakByte: 0x0A) == -1)
            #expect(short == [0, 0])
            #expect(CP_Port_Available(handle: port) == 1)
            #expect(CP_Port_SkipAvailable(handle: port))
            #expect(CP_Port_Available(handle: port) == 0)
        }
    }

    // A wrapped port, timeout or mode would reach the printer and open.
    @Test(arguments: [
        ("port beyond 16 bits", 1 << 16, 2000, 0),
        ("negative timeout", 0, -1, 0),
        ("timeout beyond 32 bits", 0, 1 << 32, 0),
        ("mode beyond signed 32 bits", 0, 2000, 1 << 31),
        ("mode below signed 32 bits", 0, 2000, -(1 << 31) - 1),
    ])
    func tcpOpenWithAnArgumentOutOfRangeIsNotTried(_ name: String, portOffset: Int, timeout: Int,
                                                   velnormode: Int) throws {
        let printer = try LoopbackPrinter()
        defer { printer.stop() }
        #expect(CP_Port_OpenTcp(local_ip: "", dest_ip: LoopbackPrinter.address,
                                dest_port: Int(printer.port) + portOffset, timeout: timeout,
                                velnormode: velnormode) == 0, "\(name)")
    }
}
