// The C library as the host hands it to the effect.
#include "standin_host/services/ansi_services.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(AnsiCallbacks, EveryEntryIsTheCLibrarys) {
    const PF_ANSICallbacks ansi = standin::AnsiCallbacks();
    EXPECT_EQ(ansi.sqrt(3.0), std::sqrt(3.0));
    EXPECT_EQ(ansi.pow(2.0, 0.5), std::pow(2.0, 0.5));
    EXPECT_EQ(ansi.atan(1.0), std::atan(1.0));
    EXPECT_EQ(ansi.atan2(1.0, -1.0), std::atan2(1.0, -1.0));
    EXPECT_EQ(ansi.ceil(1.5), 2.0);
    EXPECT_EQ(ansi.cos(1.0), std::cos(1.0));
    EXPECT_EQ(ansi.exp(1.0), std::exp(1.0));
    EXPECT_EQ(ansi.fabs(-2.0), 2.0);
    EXPECT_EQ(ansi.floor(1.5), 1.0);
    EXPECT_EQ(ansi.fmod(7.0, 3.0), 1.0);
    EXPECT_EQ(ansi.hypot(3.0, 4.0), 5.0);
    EXPECT_EQ(ansi.log(2.0), std::log(2.0));
    EXPECT_EQ(ansi.log10(1000.0), 3.0);
    EXPECT_EQ(ansi.sin(1.0), std::sin(1.0));
    EXPECT_EQ(ansi.tan(1.0), std::tan(1.0));
    EXPECT_EQ(ansi.asin(0.5), std::asin(0.5));
    EXPECT_EQ(ansi.acos(0.5), std::acos(0.5));

    A_char buffer[64];
    EXPECT_EQ(ansi.sprintf(buffer, "%s, v%d.%d\r%s", "OstrelStrata", 1, 0, "Imagination!"), 31);
    EXPECT_STREQ(buffer, "OstrelStrata, v1.0\rImagination!");
    EXPECT_EQ(ansi.strcpy(buffer, "copied"), buffer);
    EXPECT_STREQ(buffer, "copied");
}

}  // namespace
