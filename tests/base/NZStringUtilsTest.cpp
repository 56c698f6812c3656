// Locale conversions: results under the environment locale, no change to the process
// locale, failures as null.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/NZStringUtils.h"
#include "support/EnvironmentLocale.h"

using qvtest::EnvironmentLocale;

TEST(NZStringUtils, NullAndEmpty) {
    EXPECT_EQ(NZStringUtils::nzutils_mbstowcs_local(nullptr), nullptr);
    EXPECT_EQ(NZStringUtils::nzutils_wcstombs_local(nullptr), nullptr);
    EXPECT_EQ(NZStringUtils::nzutils_wcsdup_local(nullptr), nullptr);
    EXPECT_EQ(NZStringUtils::nzutils_strdup_local(nullptr), nullptr);
    wchar_t* empty = NZStringUtils::nzutils_mbstowcs_local("");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], L'\0');
    free(empty);
    char* narrow = NZStringUtils::nzutils_wcstombs_local(L"");
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow, "");
    free(narrow);
}

TEST(NZStringUtils, Utf8RoundTripWithoutTouchingProcessLocale) {
    EnvironmentLocale utf8("C.UTF-8");
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const char* text = "Caf\xC3\xA9 \xE4\xB8\xAD\xF0\x9F\x96\xA8";  // é, a CJK character, an emoji
    wchar_t* wide = NZStringUtils::nzutils_mbstowcs_local(text);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wstring(wide), std::wstring(L"Caf\u00E9 \u4E2D\U0001F5A8"));
    char* back = NZStringUtils::nzutils_wcstombs_local(wide);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back, text);  // long characters are not cut by a short work buffer
    free(wide);
    free(back);
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), before);
}

TEST(NZStringUtils, UnconvertibleTextIsNull) {
    {
        EnvironmentLocale utf8("C.UTF-8");
        EXPECT_EQ(NZStringUtils::nzutils_mbstowcs_local("ab\xFF\xFE"), nullptr);
    }
    EnvironmentLocale plain("C");
    EXPECT_EQ(NZStringUtils::nzutils_wcstombs_local(L"x\u4E2D"), nullptr);
}

TEST(NZStringUtils, ConcurrentConversionsAgree) {
    EnvironmentLocale utf8("C.UTF-8");
    std::vector<std::thread> threads;
    std::vector<int> good(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                char* narrow = NZStringUtils::nzutils_wcstombs_local(L"\u00E9\u4E2D");
                good[t] += narrow != nullptr && std::strcmp(narrow, "\xC3\xA9\xE4\xB8\xAD") == 0;
                free(narrow);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int count : good) EXPECT_EQ(count, 500);
}
