#pragma once

#include "ports/SelectIOBase_ios.h"

// Not reachable on this platform: the base open clears the flags and fails.
class NZLptIO : public virtual NZThreadIO {};

class NZLptIO_ios : public SelectIOBase_ios, public NZLptIO {};
