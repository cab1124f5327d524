// Times as a person writes them on the command line, and as warnings print them.
#include <gtest/gtest.h>

#include "lumhost/base/time_text.h"

namespace lumhost {
namespace {

TEST(TimeText, SecondsAndClockTimes) {
    EXPECT_DOUBLE_EQ(*parseTime("90"), 90);
    EXPECT_DOUBLE_EQ(*parseTime("12.25"), 12.25);
    EXPECT_DOUBLE_EQ(*parseTime("1:30"), 90);
    EXPECT_DOUBLE_EQ(*parseTime("01:02:03.5"), 3723.5);
    EXPECT_DOUBLE_EQ(*parseTime("0:00:00.04"), 0.04);
    EXPECT_DOUBLE_EQ(*parseTime("75:00"), 4500) << "the first field may pass 59";
    for (const char* bad : {"", "-1", "1:60", "1:75", "1:2:60", "1:02:03:04", ".5", "5.", "1.2.3", "1::2", "ten", "1:30 ", "+5"})
        EXPECT_FALSE(parseTime(bad)) << "'" << bad << "'";
}

TEST(TimeText, WarningsPrintMinutesSecondsAndHundredths) {
    EXPECT_EQ(formatTime(62.4), "1:02.40");
    EXPECT_EQ(formatTime(3.125), "0:03.13");
    EXPECT_EQ(formatTime(3723.5), "1:02:03.50");
    EXPECT_EQ(formatTime(59.999), "1:00.00") << "rounding carries into the minutes";
    EXPECT_EQ(formatTime(-1), "0:00.00");
}

}  // namespace
}  // namespace lumhost
