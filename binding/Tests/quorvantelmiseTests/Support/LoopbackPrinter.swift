// A network printer on 127.0.0.1 for tests: listens on an ephemeral port, records what each
// connection sends, answers scripted replies at once and sends or closes on cue.
//
//     let printer = try LoopbackPrinter()
//     defer { printer.stop() }                       // every test stops its printer
//     printer.addReply(trigger: [0x10, 0x04, 0x01], reply: [0x12])
//     let h = CP_Port_OpenTcp(local_ip: "", dest_ip: LoopbackPrinter.address,
//                             dest_port: Int(printer.port), timeout: 2000, velnormode: 0)
//     #expect(printer.waitForBytes(3))
//
// Connections are numbered from 0 in the order they were accepted; calls without an index act
// on the latest one. One service thread does all socket work, so cues apply in the order
// given. When the client closes, the printer closes its side at once, so port closes are
// quick.

import Foundation
#if canImport(Glibc)
import Glibc
#endif

struct LoopbackPrinterError: Error, CustomStringConvertible {
    let description: String
}

final class LoopbackPrinter: @unchecked Sendable {  // its state is behind one lock
    static let address = "127.0.0.1"
    /// How long the waits below wait by default; they return as soon as their condition holds.
    static let defaultWait: TimeInterval = 5

    let port: UInt16

    private struct Connection {
        var fd: Int32
        var received: [UInt8] = []
        var clientClosed = false
    }
    private struct Reply {
        let trigger: [UInt8]
        let reply: [UInt8]
        let once: Bool
        var used = false
        var scanned: [Int] = []  // per connection: where the next search starts
    }
    private enum Cue {
        case send([UInt8])
        case close
        case reset
        case sync
    }

    private let listenFD: Int32
    private let wakeFD: Int32  // read end of the pipe that wakes the service thread
    private let wakeWriteFD: Int32
    private let state = NSCondition()  // guards everything below, and signals its changes
    private var connections: [Connection] = []
    private var replies: [Reply] = []
    private var cues: [(cue: Cue, serial: UInt64)] = []
    private var cuesGiven: UInt64 = 0
    private var cuesApplied: UInt64 = 0
    private var stopping = false
    private let serviceEnded = DispatchSemaphore(value: 0)

    init() throws {
        listenFD = socket(AF_INET, Int32(SOCK_STREAM.rawValue) | Int32(SOCK_CLOEXEC.rawValue), 0)
        var pipeEnds: [Int32] = [-1, -1]
        let piped = pipe(&pipeEnds) == 0 && fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK) == 0
        (wakeFD, wakeWriteFD) = (pipeEnds[0], pipeEnds[1])
        guard listenFD >= 0, piped else {
            for fd in [listenFD, wakeFD, wakeWriteFD] where fd >= 0 { close(fd) }
            throw LoopbackPrinterError(description: "socket: errno \(errno)")
        }
        var addr = sockaddr_in()
        addr.sin_family = sa_family_t(AF_INET)
        addr.sin_addr.s_addr = UInt32(0x7f00_0001).bigEndian
        addr.sin_port = 0
        var length = socklen_t(MemoryLayout<sockaddr_in>.size)
        let listener = listenFD
        let bound = withUnsafeMutablePointer(to: &addr) {
            $0.withMemoryRebound(to: sockaddr.self, capacity: 1) { socketAddress in
                bind(listener, socketAddress, length) == 0 && listen(listener, 16) == 0
                    && getsockname(listener, socketAddress, &length) == 0
            }
        }
        guard bound else {
            let error = errno
            for fd in [listenFD, wakeFD, wakeWriteFD] { close(fd) }
            throw LoopbackPrinterError(description: "bind/listen: errno \(error)")
        }
        port = UInt16(bigEndian: addr.sin_port)
        // The thread keeps the printer alive until stop().
        Thread {
            self.serve()
            self.serviceEnded.signal()
        }.start()
    }

    deinit {
        for fd in [listenFD, wakeFD, wakeWriteFD] { close(fd) }
    }

    /// Ends the service thread and closes every connection; later cues do nothing.
    func stop() {
        let wasServing: Bool = locked {
            defer { stopping = true }
            return !stopping
        }
        guard wasServing else { return }
        wake()
        serviceEnded.wait()
        state.lock()
        for index in connections.indices where connections[index].fd >= 0 {
            close(connections[index].fd)
            connections[index].fd = -1
        }
        state.unlock()
    }

    // MARK: What the printer got

    var connectionCount: Int { locked { connections.count } }

    /// Bytes received so far on a connection (the latest by default).
    func received(connection: Int? = nil) -> [UInt8] {
        locked {
            let index = connection ?? connections.count - 1
            return connections.indices.contains(index) ? connections[index].received : []
        }
    }

    func waitForConnections(_ count: Int, timeout: TimeInterval = defaultWait) -> Bool {
        wait(timeout) { connections.count >= count }
    }

    /// Waits until the latest connection has received at least `count` bytes.
    func waitForBytes(_ count: Int, timeout: TimeInterval = defaultWait) -> Bool {
        wait(timeout) { (connections.last?.received.count ?? 0) >= count }
    }

    /// Waits until the client closed or reset the latest connection.
    func waitForClientClose(timeout: TimeInterval = defaultWait) -> Bool {
        wait(timeout) { connections.last?.clientClosed ?? false }
    }

    // MARK: Scripts and cues

    /// Whenever a connection's received bytes contain `trigger` (searching on after the end of
    /// its previous match), `reply` is sent on that connection at once.
    func addReply(trigger: [UInt8], reply: [UInt8], once: Bool = false) {
        locked { replies.append(Reply(trigger: trigger, reply: reply, once: once)) }
    }

    /// Sends `data` on the latest connection (unsolicited status frames, say).
    func send(_ data: [UInt8]) { push(.send(data)) }
    /// Orderly close of the latest connection (FIN).
    func closeConnection() { push(.close) }
    /// Abortive close of the latest connection (RST).
    func resetConnection() { push(.reset) }

    /// Waits until every cue given so far has been applied.
    @discardableResult
    func sync(timeout: TimeInterval = defaultWait) -> Bool {
        let target = push(.sync)
        return wait(timeout) { cuesApplied >= target }
    }

    // MARK: Frames a printer sends

    /// The 8-byte status frame: 0x53, five data bytes, the type, and a check byte that makes
    /// the XOR of all eight 0.
    static func statusFrame(_ data: [UInt8], type: UInt8) -> [UInt8] {
        precondition(data.count == 5)
        let frame = [0x53] + data + [type]
        return frame + [frame.reduce(0, ^)]
    }

    /// A framed maintenance packet: the 12-byte little-endian header, then the body.
    static func framedPacket(type: UInt8, command: UInt16, parameter: UInt32,
                             body: [UInt8]) -> [UInt8] {
        let length = UInt16(body.count)
        var packet: [UInt8] = [0x03, type, UInt8(truncatingIfNeeded: command),
                               UInt8(truncatingIfNeeded: command >> 8)]
        packet += (0..<4).map { UInt8(truncatingIfNeeded: parameter >> (8 * $0)) }
        packet += [UInt8(truncatingIfNeeded: length), UInt8(truncatingIfNeeded: length >> 8)]
        packet += [packet.reduce(0, ^), body.reduce(0, ^)]
        return packet + body
    }

    // MARK: Locking

    private func locked<T>(_ body: () -> T) -> T {
        state.lock()
        defer { state.unlock() }
        return body()
    }

    private func wait(_ timeout: TimeInterval, until condition: () -> Bool) -> Bool {
        let deadline = Date(timeIntervalSinceNow: timeout)
        state.lock()
        defer { state.unlock() }
        while !condition() {
            if !state.wait(until: deadline) { return condition() }
        }
        return true
    }

    @discardableResult
    private func push(_ cue: Cue) -> UInt64 {
        let serial: UInt64 = locked {
            cuesGiven += 1
            cues.append((cue, cuesGiven))
            return cuesGiven
        }
        wake()
        return serial
    }

    private func wake() {
        var one: UInt8 = 1
        _ = write(wakeWriteFD, &one, 1)
    }

    // MARK: Service thread: the only one that touches the descriptors

    private func serve() {
        while true {
            var fds = [pollfd(fd: wakeFD, events: Int16(POLLIN), revents: 0),
                       pollfd(fd: listenFD, events: Int16(POLLIN), revents: 0)]
            var indexes: [Int] = []
            let stop: Bool = locked {
                for (index, connection) in connections.enumerated() where connection.fd >= 0 {
                    fds.append(pollfd(fd: connection.fd, events: Int16(POLLIN), revents: 0))
                    indexes.append(index)
                }
                return stopping
            }
            if stop { return }
            if poll(&fds, nfds_t(fds.count), -1) < 0 && errno != EINTR { return }
            if fds[0].revents & Int16(POLLIN) != 0 {
                var drained = [UInt8](repeating: 0, count: 64)
                while read(wakeFD, &drained, drained.count) > 0 {}
            }
            if !applyCues() { return }
            if fds[1].revents & Int16(POLLIN) != 0 { acceptConnection() }
            for (slot, index) in indexes.enumerated()
            where fds[slot + 2].revents & Int16(POLLIN | POLLHUP | POLLERR) != 0 {
                readFrom(index)
            }
        }
    }

    /// Applies the waiting cues; false once the printer is stopping.
    private func applyCues() -> Bool {
        while true {
            state.lock()
            if stopping { state.unlock(); return false }
            if cues.isEmpty { state.unlock(); return true }
            let (cue, serial) = cues.removeFirst()
            state.unlock()
            apply(cue)
            locked {
                cuesApplied = serial
                state.broadcast()
            }
        }
    }

    private func apply(_ cue: Cue) {
        // Only this thread closes descriptors, so the one taken here stays valid.
        let latest: (index: Int, fd: Int32)? = locked {
            guard let index = connections.indices.last else { return nil }
            return (index, connections[index].fd)
        }
        guard let (index, fd) = latest, fd >= 0 else { return }
        switch cue {
        case .send(let data): sendAll(fd, data)
        case .close: locked { closeConnection(index) }
        case .reset:
            var abort = linger(l_onoff: 1, l_linger: 0)
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, socklen_t(MemoryLayout<linger>.size))
            locked { closeConnection(index) }
        case .sync: break
        }
    }

    private func acceptConnection() {
        let fd = accept(listenFD, nil, nil)
        guard fd >= 0 else { return }
        locked {
            connections.append(Connection(fd: fd))
            state.broadcast()
        }
    }

    private func readFrom(_ index: Int) {
        let fd = locked { connections[index].fd }
        guard fd >= 0 else { return }
        var chunk = [UInt8](repeating: 0, count: 4096)
        let n = recv(fd, &chunk, chunk.count, Int32(MSG_DONTWAIT))
        if n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) { return }
        locked {
            if n <= 0 {
                connections[index].clientClosed = true
                closeConnection(index)
            } else {
                connections[index].received += chunk[..<n]
                runReplies(index)
            }
            state.broadcast()
        }
    }

    // Called with the lock held.
    private func runReplies(_ index: Int) {
        let received = connections[index].received
        for r in replies.indices where !replies[r].trigger.isEmpty {
            if replies[r].scanned.count <= index {
                replies[r].scanned += Array(repeating: 0, count: index + 1 - replies[r].scanned.count)
            }
            while !(replies[r].once && replies[r].used) {
                let trigger = replies[r].trigger
                guard let hit = firstMatch(of: trigger, in: received, from: replies[r].scanned[index])
                else {
                    // Keep a tail that may still grow into a match.
                    let keep = min(received.count, trigger.count - 1)
                    replies[r].scanned[index] = max(replies[r].scanned[index], received.count - keep)
                    break
                }
                replies[r].scanned[index] = hit + trigger.count
                replies[r].used = true
                if connections[index].fd >= 0 { sendAll(connections[index].fd, replies[r].reply) }
            }
        }
    }

    private func firstMatch(of pattern: [UInt8], in bytes: [UInt8], from start: Int) -> Int? {
        guard bytes.count - start >= pattern.count else { return nil }
        return (start...(bytes.count - pattern.count)).first {
            bytes[$0..<($0 + pattern.count)].elementsEqual(pattern)
        }
    }

    // Called with the lock held.
    private func closeConnection(_ index: Int) {
        if connections[index].fd >= 0 { close(connections[index].fd) }
        connections[index].fd = -1
    }

    private func sendAll(_ fd: Int32, _ data: [UInt8]) {
        var done = 0
        while done < data.count {
            let n = data[done...].withUnsafeBytes { Glibc.send(fd, $0.baseAddress, $0.count, Int32(MSG_NOSIGNAL)) }
            if n < 0 && errno == EINTR { continue }
            if n <= 0 { return }
            done += n
        }
    }
}
