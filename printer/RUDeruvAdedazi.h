#pragma once

#include "printer/NZPrinter.h"

// The label printer's command object.
class RUDeruvAdedazi : public NZPrinter {};
