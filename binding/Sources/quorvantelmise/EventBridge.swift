// The event bridge: the library's eight port and printer events as Swift closures, kept per
// event kind under tags that the application chooses.
//
// Each kind has a handler class (one registration: closure and tag), an array holder whose
// one process-wide instance the library's callback list knows by address, add and remove
// functions, the callback function the library calls, and the registration and removal
// wrappers. The first registration of a kind puts the kind's callback function into the
// library's list, for good; removal only takes the closure out of the holder.
//
// Closures run on the library's threads (see each kind), one delivery of a kind at a time,
// while that thread holds the kind's library list mutex. A closure may remove any tag, its
// own included (the current delivery still calls every closure it started with); it must not
// register a closure of its own kind, which waits on that mutex. Nor may a written closure
// write to a port (its delivery would wait on that mutex too), or a received or printer closure
// close its own port or wait for that port's reply, which only its own thread could read.

import CQuorvantelmise

/// The address the library's list keeps for a holder; a delivery names its holder with it.
@inline(__always)
private func address(of holder: AnyObject) -> UnsafeMutableRawPointer {
    Unmanaged.passUnretained(holder).toOpaque()
}

/// The closures a delivery calls: a snapshot of the holder's, or none when the private pointer
/// is not that holder's address (the library always passes it; any other caller is ignored).
private func handlers<Holder: AnyObject, Handler>(_ private_data: UnsafeMutableRawPointer?,
                                                  of holder: Holder,
                                                  _ snapshot: (Holder) -> [Handler]) -> [Handler] {
    guard private_data == address(of: holder) else { return [] }
    return snapshot(holder)
}

/// The event's bytes, copied once for every closure; no bytes for a null buffer.
private func copiedBytes(_ buffer: UnsafePointer<UInt8>?, count: UInt32) -> [UInt8] {
    guard let buffer else { return [] }
    return Array(UnsafeBufferPointer(start: buffer, count: Int(count)))
}

// MARK: PortOpened

/// One registration of a PortOpened closure.
public class CP_OnPortOpenedEvent_SwiftCallbackHandler {
    public let callback: (Int, String) -> Void
    public let tag: Int

    public init(callback: @escaping (Int, String) -> Void, tag: Int) {
        self.callback = callback
        self.tag = tag
    }
}

/// The PortOpened registrations in order. `callbacks` reads a snapshot and replaces the array
/// whole; the add and remove functions change it atomically.
public class CP_OnPortOpenedEvent_SwiftCallbackHandlerArrayWrapper {
    let handlers = TaggedHandlers<CP_OnPortOpenedEvent_SwiftCallbackHandler> { $0.tag }

    public var callbacks: [CP_OnPortOpenedEvent_SwiftCallbackHandler] {
        get { handlers.snapshot }
        set { handlers.snapshot = newValue }
    }

    public init() {}
}

public let m_PortOpenedEventSwiftCallbackHandlerArrayWrapper =
    CP_OnPortOpenedEvent_SwiftCallbackHandlerArrayWrapper()

/// False, and nothing changes, when `tag` is registered for PortOpened already.
public func AddPortOpenedEventSwiftCallbackToArrayWrapper(callback: @escaping (Int, String) -> Void,
                                                          tag: Int) -> Bool {
    m_PortOpenedEventSwiftCallbackHandlerArrayWrapper.handlers.add(tag: tag) {
        CP_OnPortOpenedEvent_SwiftCallbackHandler(callback: callback, tag: tag)
    }
}

/// False when `tag` is not registered for PortOpened.
public func RemovePortOpenedEventSwiftCallbackFromArrayWrapper(tag: Int) -> Bool {
    m_PortOpenedEventSwiftCallbackHandlerArrayWrapper.handlers.remove(tag: tag)
}

public func OnPortOpenedEventCCallbackFunction(handle: UnsafeMutableRawPointer?,
                                               name: UnsafePointer<CChar>?,
                                               private_data: UnsafeMutableRawPointer?) {
    let holder = m_PortOpenedEventSwiftCallbackHandlerArrayWrapper
    let registered = handlers(private_data, of: holder) { $0.callbacks }
    guard !registered.isEmpty else { return }
    let port = bindingHandle(handle)
    let text = decodedText(cString: name)
    for handler in registered { handler.callback(port, text) }
}

private let portOpenedEntry: CP_OnPortOpenedEvent = {
    OnPortOpenedEventCCallbackFunction(handle: $0, name: $1, private_data: $2)
}

/// After each successful open but the memory port's: the handle and the port name or address
/// given to the open call, on a thread started for that one event (before or after the open
/// call returns).
///
/// False, and nothing changes, when `tag` is registered for PortOpened already.
public func CP_Port_AddOnPortOpenedEvent(event: @escaping (Int, String) -> Void, tag: Int) -> Bool {
    let holder = address(of: m_PortOpenedEventSwiftCallbackHandlerArrayWrapper)
    _ = CQuorvantelmise.CP_Port_AddOnPortOpenedEvent(portOpenedEntry, holder)
    return AddPortOpenedEventSwiftCallbackToArrayWrapper(callback: event, tag: tag)
}

public func CP_Port_RemoveOnPortOpenedEvent(tag: Int) -> Bool {
    RemovePortOpenedEventSwiftCallbackFromArrayWrapper(tag: tag)
}

// MARK: PortOpenFailed

/// One registration of a PortOpenFailed closure.
public class CP_OnPortOpenFailedEvent_SwiftCallbackHandler {
    public let callback: (Int, String) -> Void
    public let tag: Int

    public init(callback: @escaping (Int, String) -> Void, tag: Int) {
        self.callback = callback
        self.tag = tag
    }
}

/// The PortOpenFailed registrations in order. `callbacks` reads a snapshot and replaces the array
/// whole; the add and remove functions change it atomically.
public class CP_OnPortOpenFailedEvent_SwiftCallbackHandlerArrayWrapper {
    let handlers = TaggedHandlers<CP_OnPortOpenFailedEvent_SwiftCallbackHandler> { $0.tag }

    public var callbacks: [CP_OnPortOpenFailedEvent_SwiftCallbackHandler] {
        get { handlers.snapshot }
        set { handlers.snapshot = newValue }
    }

    public init() {}
}

public let m_PortOpenFailedEventSwiftCallbackHandlerArrayWrapper =
    CP_OnPortOpenFailedEvent_SwiftCallbackHandlerArrayWrapper()

/// False, and nothing changes, when `tag` is registered for PortOpenFailed already.
public func AddPortOpenFailedEventSwiftCallbackToArrayWrapper(
    callback: @escaping (Int, String) -> Void, tag: Int) -> Bool {
    m_PortOpenFailedEventSwiftCallbackHandlerArrayWrapper.handlers.add(tag: tag) {
        CP_OnPortOpenFailedEvent_SwiftCallbackHandler(callback: callback, tag: tag)
    }
}

/// False when `tag` is not registered for PortOpenFailed.
public func RemovePortOpenFailedEventSwiftCallbackFromArrayWrapper(tag: Int) -> Bool {
    m_PortOpenFailedEventSwiftCallbackHandlerArrayWrapper.handlers.remove(tag: tag)
}

public func OnPortOpenFailedEventCCallbackFunction(handle: UnsafeMutableRawPointer?,
                                                   name: UnsafePointer<CChar>?,
                                                   private_data: UnsafeMutableRawPointer?) {
    let holder = m_PortOpenFailedEventSwiftCallbackHandlerArrayWrapper
    let registered = handlers(private_data, of: holder) { $0.callbacks }
    guard !registered.isEmpty else { return }
    let port = bindingHandle(handle)
    let text = decodedText(cString: name)
    for handler in registered { handler.callback(port, text) }
}

private let portOpenFailedEntry: CP_OnPortOpenFailedEvent = {
    OnPortOpenFailedEventCCallbackFunction(handle: $0, name: $1, private_data: $2)
}

/// After each failed open but the memory port's: handle 0 and the name or address given to the
/// open call, on a thread started for that one event.
///
/// False, and nothing changes, when `tag` is registered for PortOpenFailed already.
public func CP_Port_AddOnPortOpenFailedEvent(event: @escaping (Int, String) -> Void,
                                             tag: Int) -> Bool {
    let holder = address(of: m_PortOpenFailedEventSwiftCallbackHandlerArrayWrapper)
    _ = CQuorvantelmise.CP_Port_AddOnPortOpenFailedEvent(portOpenFailedEntry, holder)
    return AddPortOpenFailedEventSwiftCallbackToArrayWrapper(callback: event, tag: tag)
}

/// The removal of PortOpenFailed closures: so spelled, and under no shorter name.
public func CP_Port_RemoveOnPortOpenFailededEvent(tag: Int) -> Bool {
    RemovePortOpenFailedEventSwiftCallbackFromArrayWrapper(tag: tag)
}

// MARK: PortClosed

/// One registration of a PortClosed closure.
public class CP_OnPortClosedEvent_SwiftCallbackHandler {
    public let callback: (Int) -> Void
    public let tag: Int

    public init(callback: @escaping (Int) -> Void, tag: Int) {
        self.callback = callback
        self.tag = tag
    }
}

/// The PortClosed registrations in order. `callbacks` reads a snapshot and replaces the array
/// whole; the add and remove functions change it atomically.
public class CP_OnPortClosedEvent_SwiftCallbackHandlerArrayWrapper {
    let handlers = TaggedHandlers<CP_OnPortClosedEvent_SwiftCallbackHandler> { $0.tag }

    public var callbacks: [CP_OnPortClosedEvent_SwiftCallbackHandler] {
        get { handlers.snapshot }
        set { handlers.snapshot = newValue }
    }

    public init() {}
}

public let m_PortClosedEventSwiftCallbackHandlerArrayWrapper =
    CP_OnPortClosedEvent_SwiftCallbackHandlerArrayWrapper()

/// False, and nothing changes, when `tag` is registered for PortClosed already.
public func AddPortClosedEventSwiftCallbackToArrayWrapper(callback: @escaping (Int) -> Void,
                                                          tag: Int) -> Bool {
    m_PortClosedEventSwiftCallbackHandlerArrayWrapper.handlers.add(tag: tag) {
        CP_OnPortClosedEvent_SwiftCallbackHandler(callback: callback, tag: tag)
    }
}

/// False when `tag` is not registered for PortClosed.
public func RemovePortClosedEventSwiftCallbackFromArrayWrapper(tag: Int) -> Bool {
    m_PortClosedEventSwiftCallbackHandlerArrayWrapper.handlers.remove(tag: tag)
}

public func OnPortClosedEventCCallbackFunction(handle: UnsafeMutableRawPointer?,
                                               private_data: UnsafeMutableRawPointer?) {
    let holder = m_PortClosedEventSwiftCallbackHandlerArrayWrapper
    let registered = handlers(private_data, of: holder) { $0.callbacks }
    guard !registered.isEmpty else { return }
    let port = bindingHandle(handle)
    for handler in registered { handler.callback(port) }
}

private let portClosedEntry: CP_OnPortClosedEvent = {
    OnPortClosedEventCCallbackFunction(handle: $0, private_data: $1)
}

/// Once per close of an opened port, on a thread started for that close, which then releases
/// the handle: the number may name no port any more.
///
/// False, and nothing changes, when `tag` is registered for PortClosed already.
public func CP_Port_AddOnPortClosedEvent(event: @escaping (Int) -> Void, tag: Int) -> Bool {
    let holder = address(of: m_PortClosedEventSwiftCallbackHandlerArrayWrapper)
    _ = CQuorvantelmise.CP_Port_AddOnPortClosedEvent(portClosedEntry, holder)
    return AddPortClosedEventSwiftCallbackToArrayWrapper(callback: event, tag: tag)
}

public func CP_Port_RemoveOnPortClosedEvent(tag: Int) -> Bool {
    RemovePortClosedEventSwiftCallbackFromArrayWrapper(tag: tag)
}

// MARK: PortWritten

/// One registration of a PortWritten closure.
public class CP_OnPortWrittenEvent_SwiftCallbackHandler {
    public let callback: (Int, [UInt8], Int) -> Void
    public let tag: Int

    public init(callback: @escaping (Int, [UInt8], Int) -> Void, tag: Int) {
        self.callback = callback
        self.tag = tag
    }
}

/// The PortWritten registrations in order. `callbacks` reads a snapshot and replaces the array
/// whole; the add and remove functions change it atomically.
public class CP_OnPortWrittenEvent_SwiftCallbackHandlerArrayWrapper {
    let handlers = TaggedHandlers<CP_OnPortWrittenEvent_SwiftCallbackHandler> { $0.tag }

    public var callbacks: [CP_OnPortWrittenEvent_SwiftCallbackHandler] {
        get { handlers.snapshot }
        set { handlers.snapshot = newValue }
    }

    public init() {}
}

public let m_PortWrittenEventSwiftCallbackHandlerArrayWrapper =
    CP_OnPortWrittenEvent_SwiftCallbackHandlerArrayWrapper()

/// False, and nothing changes, when `tag` is registered for PortWritten already.
public func AddPortWrittenEventSwiftCallbackToArrayWrapper(
    callback: @escaping (Int, [UInt8], Int) -> Void, tag: Int) -> Bool {
    m_PortWrittenEventSwiftCallbackHandlerArrayWrapper.handlers.add(tag: tag) {
        CP_OnPortWrittenEvent_SwiftCallbackHandler(callback: callback, tag: tag)
    }
}

/// False when `tag` is not registered for PortWritten.
public func RemovePortWrittenEventSwiftCallbackFromArrayWrapper(tag: Int) -> Bool {
    m_PortWrittenEventSwiftCallbackHandlerArrayWrapper.handlers.remove(tag: tag)
}

public func OnPortWrittenEventCCallbackFunction(handle: UnsafeMutableRawPointer?,
                                                buffer: UnsafePointer<UInt8>?, count: UInt32,
                                                private_data: UnsafeMutableRawPointer?) {
    let holder = m_PortWrittenEventSwiftCallbackHandlerArrayWrapper
    let registered = handlers(private_data, of: holder) { $0.callbacks }
    guard !registered.isEmpty else { return }
    let port = bindingHandle(handle)
    let bytes = copiedBytes(buffer, count: count)
    for handler in registered { handler.callback(port, bytes, bytes.count) }
}

private let portWrittenEntry: CP_OnPortWrittenEvent = {
    OnPortWrittenEventCCallbackFunction(handle: $0, buffer: $1, count: $2, private_data: $3)
}

/// After each write that wrote at least one byte: the handle, the bytes written and their
/// count, on the writing thread before the write returns.
///
/// False, and nothing changes, when `tag` is registered for PortWritten already.
public func CP_Port_AddOnPortWrittenEvent(event: @escaping (Int, [UInt8], Int) -> Void,
                                          tag: Int) -> Bool {
    let holder = address(of: m_PortWrittenEventSwiftCallbackHandlerArrayWrapper)
    _ = CQuorvantelmise.CP_Port_AddOnPortWrittenEvent(portWrittenEntry, holder)
    return AddPortWrittenEventSwiftCallbackToArrayWrapper(callback: event, tag: tag)
}

public func CP_Port_RemoveOnPortWrittenEvent(tag: Int) -> Bool {
    RemovePortWrittenEventSwiftCallbackFromArrayWrapper(tag: tag)
}

// MARK: PortReceived

/// One registration of a PortReceived closure.
public class CP_OnPortReceivedEvent_SwiftCallbackHandler {
    public let callback: (Int, [UInt8], Int) -> Void
    public let tag: Int

    public init(callback: @escaping (Int, [UInt8], Int) -> Void, tag: Int) {
        self.callback = callback
        self.tag = tag
    }
}

/// The PortReceived registrations in order. `callbacks` reads a snapshot and replaces the array
/// whole; the add and remove functions change it atomically.
public class CP_OnPortReceivedEvent_SwiftCallbackHandlerArrayWrapper {
    let handlers = TaggedHandlers<CP_OnPortReceivedEvent_SwiftCallbackHandler> { $0.tag }

    public var callbacks: [CP_OnPortReceivedEvent_SwiftCallbackHandler] {
        get { handlers.snapshot }
        set { handlers.snapshot = newValue }
    }

    public init() {}
}

public let m_PortReceivedEventSwiftCallbackHandlerArrayWrapper =
    CP_OnPortReceivedEvent_SwiftCallbackHandlerArrayWrapper()

/// False, and nothing changes, when `tag` is registered for PortReceived already.
public func AddPortReceivedEventSwiftCallbackToArrayWrapper(
    callback: @escaping (Int, [UInt8], Int) -> Void, tag: Int) -> Bool {
    m_PortReceivedEventSwiftCallbackHandlerArrayWrapper.handlers.add(tag: tag) {
        CP_OnPortReceivedEvent_SwiftCallbackHandler(callback: callback, tag: tag)
    }
}

/// False when `tag` is not registered for PortReceived.
public func RemovePortReceivedEventSwiftCallbackFromArrayWrapper(tag: Int) -> Bool {
    m_PortReceivedEventSwiftCallbackHandlerArrayWrapper.handlers.remove(tag: tag)
}

public func OnPortReceivedEventCCallbackFunction(handle: UnsafeMutableRawPointer?,
                                                 buffer: UnsafePointer<UInt8>?, count: UInt32,
                                                 private_data: UnsafeMutableRawPointer?) {
    let holder = m_PortReceivedEventSwiftCallbackHandlerArrayWrapper
    let registered = handlers(private_data, of: holder) { $0.callbacks }
    guard !registered.isEmpty else { return }
    let port = bindingHandle(handle)
    let bytes = copiedBytes(buffer, count: count)
    for handler in registered { handler.callback(port, bytes, bytes.count) }
}

private let portReceivedEntry: CP_OnPortReceivedEvent = {
    OnPortReceivedEventCCallbackFunction(handle: $0, buffer: $1, count: $2, private_data: $3)
}

/// For each chunk a port's reader thread received, status reports included: the handle, the
/// bytes and their count, on that thread after the printer events of the chunk.
///
/// False, and nothing changes, when `tag` is registered for PortReceived already.
public func CP_Port_AddOnPortReceivedEvent(event: @escaping (Int, [UInt8], Int) -> Void,
                                           tag: Int) -> Bool {
    let holder = address(of: m_PortReceivedEventSwiftCallbackHandlerArrayWrapper)
    _ = CQuorvantelmise.CP_Port_AddOnPortReceivedEvent(portReceivedEntry, holder)
    return AddPortReceivedEventSwiftCallbackToArrayWrapper(callback: event, tag: tag)
}

public func CP_Port_RemoveOnPortReceivedEvent(tag: Int) -> Bool {
    RemovePortReceivedEventSwiftCallbackFromArrayWrapper(tag: tag)
}

// MARK: PrinterStatus

/// One registration of a PrinterStatus closure.
public class CP_OnPrinterStatusEvent_SwiftCallbackHandler {
    public let callback: (Int, Int64, Int64) -> Void
    public let tag: Int

    public init(callback: @escaping (Int, Int64, Int64) -> Void, tag: Int) {
        self.callback = callback
        self.tag = tag
    }
}

/// The PrinterStatus registrations in order. `callbacks` reads a snapshot and replaces the array
/// whole; the add and remove functions change it atomically.
public class CP_OnPrinterStatusEvent_SwiftCallbackHandlerArrayWrapper {
    let handlers = TaggedHandlers<CP_OnPrinterStatusEvent_SwiftCallbackHandler> { $0.tag }

    public var callbacks: [CP_OnPrinterStatusEvent_SwiftCallbackHandler] {
        get { handlers.snapshot }
        set { handlers.snapshot = newValue }
    }

    public init() {}
}

public let m_PrinterStatusEventSwiftCallbackHandlerArrayWrapper =
    CP_OnPrinterStatusEvent_SwiftCallbackHandlerArrayWrapper()

/// False, and nothing changes, when `tag` is registered for PrinterStatus already.
public func AddPrinterStatusEventSwiftCallbackToArrayWrapper(
    callback: @escaping (Int, Int64, Int64) -> Void, tag: Int) -> Bool {
    m_PrinterStatusEventSwiftCallbackHandlerArrayWrapper.handlers.add(tag: tag) {
        CP_OnPrinterStatusEvent_SwiftCallbackHandler(callback: callback, tag: tag)
    }
}

/// False when `tag` is not registered for PrinterStatus.
public func RemovePrinterStatusEventSwiftCallbackFromArrayWrapper(tag: Int) -> Bool {
    m_PrinterStatusEventSwiftCallbackHandlerArrayWrapper.handlers.remove(tag: tag)
}

public func OnPrinterStatusEventCCallbackFunction(handle: UnsafeMutableRawPointer?,
                                                  printer_error_status: Int64,
                                                  printer_info_status: Int64,
                                                  private_data: UnsafeMutableRawPointer?) {
    let holder = m_PrinterStatusEventSwiftCallbackHandlerArrayWrapper
    let registered = handlers(private_data, of: holder) { $0.callbacks }
    guard !registered.isEmpty else { return }
    let port = bindingHandle(handle)
    for handler in registered { handler.callback(port, printer_error_status, printer_info_status) }
}

private let printerStatusEntry: CP_OnPrinterStatusEvent = {
    OnPrinterStatusEventCCallbackFunction(handle: $0, printer_error_status: $1,
                                          printer_info_status: $2, private_data: $3)
}

/// Each time a status report completes: the handle and its error and info words (see the
/// CP_PRINTERSTATUS_ tests), on the port's reader thread.
///
/// False, and nothing changes, when `tag` is registered for PrinterStatus already.
public func CP_Printer_AddOnPrinterStatusEvent(event: @escaping (Int, Int64, Int64) -> Void,
                                               tag: Int) -> Bool {
    let holder = address(of: m_PrinterStatusEventSwiftCallbackHandlerArrayWrapper)
    _ = CQuorvantelmise.CP_Printer_AddOnPrinterStatusEvent(printerStatusEntry, holder)
    return AddPrinterStatusEventSwiftCallbackToArrayWrapper(callback: event, tag: tag)
}

public func CP_Printer_RemoveOnPrinterStatusEvent(tag: Int) -> Bool {
    RemovePrinterStatusEventSwiftCallbackFromArrayWrapper(tag: tag)
}

// MARK: PrinterReceived

/// One registration of a PrinterReceived closure.
public class CP_OnPrinterReceivedEvent_SwiftCallbackHandler {
    public let callback: (Int, Int) -> Void
    public let tag: Int

    public init(callback: @escaping (Int, Int) -> Void, tag: Int) {
        self.callback = callback
        self.tag = tag
    }
}

/// The PrinterReceived registrations in order. `callbacks` reads a snapshot and replaces the array
/// whole; the add and remove functions change it atomically.
public class CP_OnPrinterReceivedEvent_SwiftCallbackHandlerArrayWrapper {
    let handlers = TaggedHandlers<CP_OnPrinterReceivedEvent_SwiftCallbackHandler> { $0.tag }

    public var callbacks: [CP_OnPrinterReceivedEvent_SwiftCallbackHandler] {
        get { handlers.snapshot }
        set { handlers.snapshot = newValue }
    }

    public init() {}
}

public let m_PrinterReceivedEventSwiftCallbackHandlerArrayWrapper =
    CP_OnPrinterReceivedEvent_SwiftCallbackHandlerArrayWrapper()

/// False, and nothing changes, when `tag` is registered for PrinterReceived already.
public func AddPrinterReceivedEventSwiftCallbackToArrayWrapper(
    callback: @escaping (Int, Int) -> Void, tag: Int) -> Bool {
    m_PrinterReceivedEventSwiftCallbackHandlerArrayWrapper.handlers.add(tag: tag) {
        CP_OnPrinterReceivedEvent_SwiftCallbackHandler(callback: callback, tag: tag)
    }
}

/// False when `tag` is not registered for PrinterReceived.
public func RemovePrinterReceivedEventSwiftCallbackFromArrayWrapper(tag: Int) -> Bool {
    m_PrinterReceivedEventSwiftCallbackHandlerArrayWrapper.handlers.remove(tag: tag)
}

public func OnPrinterReceivedEventCCallbackFunction(handle: UnsafeMutableRawPointer?,
                                                    printer_received_byte_count: UInt32,
                                                    private_data: UnsafeMutableRawPointer?) {
    let holder = m_PrinterReceivedEventSwiftCallbackHandlerArrayWrapper
    let registered = handlers(private_data, of: holder) { $0.callbacks }
    guard !registered.isEmpty else { return }
    let port = bindingHandle(handle)
    for handler in registered { handler.callback(port, Int(printer_received_byte_count)) }
}

private let printerReceivedEntry: CP_OnPrinterReceivedEvent = {
    OnPrinterReceivedEventCCallbackFunction(handle: $0, printer_received_byte_count: $1,
                                            private_data: $2)
}

/// Each time a received-byte-count report completes: the handle and the printer's count (0 to
/// 4294967295), on the port's reader thread.
///
/// False, and nothing changes, when `tag` is registered for PrinterReceived already.
public func CP_Printer_AddOnPrinterReceivedEvent(event: @escaping (Int, Int) -> Void,
                                                 tag: Int) -> Bool {
    let holder = address(of: m_PrinterReceivedEventSwiftCallbackHandlerArrayWrapper)
    _ = CQuorvantelmise.CP_Printer_AddOnPrinterReceivedEvent(printerReceivedEntry, holder)
    return AddPrinterReceivedEventSwiftCallbackToArrayWrapper(callback: event, tag: tag)
}

public func CP_Printer_RemoveOnPrinterReceivedEvent(tag: Int) -> Bool {
    RemovePrinterReceivedEventSwiftCallbackFromArrayWrapper(tag: tag)
}

// MARK: PrinterPrinted

/// One registration of a PrinterPrinted closure.
public class CP_OnPrinterPrintedEvent_SwiftCallbackHandler {
    public let callback: (Int, Int) -> Void
    public let tag: Int

    public init(callback: @escaping (Int, Int) -> Void, tag: Int) {
        self.callback = callback
        self.tag = tag
    }
}

/// The PrinterPrinted registrations in order. `callbacks` reads a snapshot and replaces the array
/// whole; the add and remove functions change it atomically.
public class CP_OnPrinterPrintedEvent_SwiftCallbackHandlerArrayWrapper {
    let handlers = TaggedHandlers<CP_OnPrinterPrintedEvent_SwiftCallbackHandler> { $0.tag }

    public var callbacks: [CP_OnPrinterPrintedEvent_SwiftCallbackHandler] {
        get { handlers.snapshot }
        set { handlers.snapshot = newValue }
    }

    public init() {}
}

public let m_PrinterPrintedEventSwiftCallbackHandlerArrayWrapper =
    CP_OnPrinterPrintedEvent_SwiftCallbackHandlerArrayWrapper()

/// False, and nothing changes, when `tag` is registered for PrinterPrinted already.
public func AddPrinterPrintedEventSwiftCallbackToArrayWrapper(
    callback: @escaping (Int, Int) -> Void, tag: Int) -> Bool {
    m_PrinterPrintedEventSwiftCallbackHandlerArrayWrapper.handlers.add(tag: tag) {
        CP_OnPrinterPrintedEvent_SwiftCallbackHandler(callback: callback, tag: tag)
    }
}

/// False when `tag` is not registered for PrinterPrinted.
public func RemovePrinterPrintedEventSwiftCallbackFromArrayWrapper(tag: Int) -> Bool {
    m_PrinterPrintedEventSwiftCallbackHandlerArrayWrapper.handlers.remove(tag: tag)
}

public func OnPrinterPrintedEventCCallbackFunction(handle: UnsafeMutableRawPointer?,
                                                   printer_printed_page_id: UInt32,
                                                   private_data: UnsafeMutableRawPointer?) {
    let holder = m_PrinterPrintedEventSwiftCallbackHandlerArrayWrapper
    let registered = handlers(private_data, of: holder) { $0.callbacks }
    guard !registered.isEmpty else { return }
    let port = bindingHandle(handle)
    for handler in registered { handler.callback(port, Int(printer_printed_page_id)) }
}

private let printerPrintedEntry: CP_OnPrinterPrintedEvent = {
    OnPrinterPrintedEventCCallbackFunction(handle: $0, printer_printed_page_id: $1,
                                           private_data: $2)
}

/// Each time a printed-page report completes: the handle and the page id (0 to 4294967295), on
/// the port's reader thread.
///
/// False, and nothing changes, when `tag` is registered for PrinterPrinted already.
public func CP_Printer_AddOnPrinterPrintedEvent(event: @escaping (Int, Int) -> Void,
                                                tag: Int) -> Bool {
    let holder = address(of: m_PrinterPrintedEventSwiftCallbackHandlerArrayWrapper)
    _ = CQuorvantelmise.CP_Printer_AddOnPrinterPrintedEvent(printerPrintedEntry, holder)
    return AddPrinterPrintedEventSwiftCallbackToArrayWrapper(callback: event, tag: tag)
}

public func CP_Printer_RemoveOnPrinterPrintedEvent(tag: Int) -> Bool {
    RemovePrinterPrintedEventSwiftCallbackFromArrayWrapper(tag: tag)
}
