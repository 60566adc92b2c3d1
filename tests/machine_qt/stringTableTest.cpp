#include "machine/qt/stringTable.h"

#include <gtest/gtest.h>

TEST(StringTableWidget, StringsAreLoadedById)
{
    EXPECT_EQ(loadString(103), L"Windows sockets initialization failed.");
    EXPECT_EQ(loadString(0), L"");
    EXPECT_EQ(loadString(104), L"");
    addStringResource(60001, L"Version 2.0");
    EXPECT_EQ(loadString(60001), L"Version 2.0");
    addStringResource(60001, L"Version 2.1");
    EXPECT_EQ(loadString(60001), L"Version 2.1");
}
