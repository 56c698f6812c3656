// Bicubic resampling of RGB888 and BGRA8888 images.
#pragma once

#include "quorvantelmise.h"
