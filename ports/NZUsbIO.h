#pragma once

#include "ports/SelectIOBase_ios.h"

// Not reachable on this platform: the base open clears the flags and fails.
class NZUsbIO : public virtual NZThreadIO {};

class NZUsbIO_ios : public SelectIOBase_ios, public NZUsbIO {};
