#pragma once

#include "printer/NZPrinter.h"

// Label commands. Placeholder: no commands yet.
class RUDeruvAdedazi : public NZPrinter {};
