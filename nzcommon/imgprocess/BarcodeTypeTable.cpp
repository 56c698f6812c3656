#include "nzcommon/imgprocess/BarcodeTypeTable.h"

#include "nzcommon/imgprocess/BarcodeCode128.h"
#include "nzcommon/imgprocess/BarcodeCode39Family.h"
#include "nzcommon/imgprocess/BarcodeEanUpc.h"
#include "nzcommon/imgprocess/BarcodeTwoWidth.h"

namespace nzbarcode {

const Validator BarFunctbl[kBarcodeTypeCount] = {
    GenUPCAChecksum,        GenUPCEChecksum,       GenEAN13Checksum,      GenEAN13Checksum,
    GenCODE39Checksum,      GenI25Checksum,        GenCodeBarChecksum,    GenCODE93Checksum,
    GenCode128Checksum,     GenCODE11Checksum,     GenMSIChecksum,        GenCode128MChecksum,
    GenCodeEAN128Checksum,  GenI25CChecksum,       GenCODE39CFullChecksum, GenCODE39FullChecksum,
    GenEAN13_2Checksum,     GenEAN13_5Checksum,    GenEAN13_2Checksum,    GenEAN13_5Checksum,
    nullptr,                GenUPCA_2Checksum,     GenUPCA_5Checksum,     GenUPCE_2Checksum,
    GenUPCE_5Checksum,      nullptr,               GenMSICChecksum,       nullptr,
    GenIITF14Checksum,      GenCodeEAN14Checksum,
};

const Renderer PrnBarFunctbl[kBarcodeTypeCount] = {
    EAN13Barcode,   UPCEBarcode,    EAN13Barcode,   EAN8Barcode,    CODE39Barcode,  I25Barcode,
    CodeBarBarcode, CODE93Barcode,  Code128Barcode, CODE11Barcode,  MSIBarcode,     Code128Barcode,
    Code128Barcode, I25Barcode,     CODE39Barcode,  CODE39Barcode,  EAN13_2Barcode, EAN13_5Barcode,
    EAN8_2Barcode,  EAN8_5Barcode,  nullptr,        EAN13_2Barcode, EAN13_5Barcode, UPCE_2Barcode,
    UPCE_5Barcode,  nullptr,        MSIBarcode,     nullptr,        I25Barcode,     Code128Barcode,
};

}  // namespace nzbarcode
