// swift-tools-version:6.0
// The Swift module `quorvantelmise` over the library's C interface.
//
// The library is found through pkg-config (`quorvantelmise.pc`): the one CMake installs, or
// the one every build tree holds in build/pkgconfig (scripts/swift.sh points PKG_CONFIG_PATH
// and LD_LIBRARY_PATH there). Tests use Swift Testing.
import PackageDescription

let package = Package(
    name: "quorvantelmise",
    products: [
        .library(name: "quorvantelmise", targets: ["quorvantelmise"]),
    ],
    targets: [
        // The exported header, imported as C (not C++), so wchar_t stays a 32-bit integer.
        .systemLibrary(name: "CQuorvantelmise", pkgConfig: "quorvantelmise"),
        .target(name: "quorvantelmise", dependencies: ["CQuorvantelmise"]),
        // Tests only: the test bed of a build tree made with tests (tests/swift_testbed), which
        // scripts the simulated Bluetooth LE radio, the waits and a network namespace.
        .systemLibrary(name: "CQuorvantelmiseTestBed", path: "Tests/CQuorvantelmiseTestBed",
                       pkgConfig: "quorvantelmise-testbed"),
        .testTarget(name: "quorvantelmiseTests",
                    dependencies: ["quorvantelmise", "CQuorvantelmiseTestBed"]),
    ],
    swiftLanguageModes: [.v5]
)
