#include "ports/SelectIOBase_ios.h"
