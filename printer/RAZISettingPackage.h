#pragma once

#include "printer/RAZIHolder.h"

// Writes hardware setting records. It has no default timeout: each record is written with
// a fixed one of its own.
class RAZISettingPackage : public RAZIHolder {};
