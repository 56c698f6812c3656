#include "printer/NZPrinter.h"
