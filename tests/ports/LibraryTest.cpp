#include <gtest/gtest.h>

#include "quorvantelmise.h"

TEST(Library, VersionIsFixedText) { EXPECT_STREQ(CP_Library_Version(), "1.0.7.20210909"); }
