import Testing

/// One wrapper call and what it must give, as text: a row of a parameterized table such as
/// the zero-handle tables, where each row calls another wrapper.
///
///     WrapperCase(name: "Available", expected: "-1") { "\(CP_Port_Available(handle: 0))" }
struct WrapperCase: CustomTestStringConvertible, Sendable {
    let name: String
    let expected: String
    let call: @Sendable () -> String
    var testDescription: String { name }
}
