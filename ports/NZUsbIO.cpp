#include "ports/NZUsbIO.h"
