#pragma once

// Cache of the text, barcode and page settings last sent with success. Placeholder: empty.
struct PrinterProperty {};
