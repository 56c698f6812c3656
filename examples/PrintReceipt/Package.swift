// swift-tools-version:6.0
// The sample receipt printed from Swift: an application package that uses the module
// `quorvantelmise` of ../../binding (in your own package, point the path, or a URL, at it).
// The library itself is found through pkg-config (quorvantelmise.pc).
import PackageDescription

let package = Package(
    name: "PrintReceipt",
    dependencies: [
        .package(path: "../../binding"),
    ],
    targets: [
        .executableTarget(name: "PrintReceipt",
                          dependencies: [.product(name: "quorvantelmise", package: "binding")]),
    ],
    swiftLanguageModes: [.v5]
)
