// Applications that import the module see the exported interface's types and enumeration
// values (CP_ImagePixelsFormat, CP_QRCodeECC_L, ...) without importing the C module.
@_exported import CQuorvantelmise
