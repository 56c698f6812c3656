#include "ports/NZLptIO.h"
