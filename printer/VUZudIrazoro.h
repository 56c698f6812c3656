#pragma once

#include "printer/NZPrinter.h"

// Receipt, page-mode and black-mark commands. Placeholder: no commands yet.
class VUZudIrazoro : public NZPrinter {};
