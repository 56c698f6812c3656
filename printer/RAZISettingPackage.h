#pragma once

#include "printer/RAZIHolder.h"

// Hardware setting records. Placeholder: no records yet.
class RAZISettingPackage : public RAZIHolder {};
