#include "Exception.h"

#include <gtest/gtest.h>

TEST(Exception, CarriesItsMessageAndCode)
{
    Exception plain("Config: broken");
    EXPECT_EQ(plain.getMessage(), "Config: broken");
    EXPECT_EQ(plain.getCode(), -1);

    Exception coded("x", 7);
    EXPECT_EQ(coded.getCode(), 7);
    std::string copy = coded.getMessage();
    copy += "changed";
    EXPECT_EQ(coded.getMessage(), "x");
}
