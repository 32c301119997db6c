// The duration, size and format texts at the edges where their form changes.
#include "screens/record_formats.h"

#include <gtest/gtest.h>

namespace {

TEST(RecordFormats, DurationTurnsIntoHoursAtTen) {
    EXPECT_EQ(screens::duration_text(0), u"0:00:00");
    EXPECT_EQ(screens::duration_text(187.9), u"0:03:07");
    EXPECT_EQ(screens::duration_text(35999), u"9:59:59");
    EXPECT_EQ(screens::duration_text(36000), u"10 h");
    EXPECT_EQ(screens::duration_text(-5), u"0:00:00");
}

TEST(RecordFormats, SizeUnitsAtTheirBoundaries) {
    EXPECT_EQ(screens::size_text(0), u"0B");
    EXPECT_EQ(screens::size_text(1023), u"1023B");
    EXPECT_EQ(screens::size_text(1024), u"1K");
    EXPECT_EQ(screens::size_text(1048575), u"1023K");
    EXPECT_EQ(screens::size_text(1048576), u"1.0M");
    EXPECT_EQ(screens::size_text(1048576 + 1048575), u"1.9M");
    EXPECT_EQ(screens::size_text(5ull * 1024 * 1024 * 1024), u"5120.0M");
}

TEST(RecordFormats, PcmHasNoBitRate) {
    EXPECT_EQ(screens::format_text(8000, 16, 0), u"8kHz 16bit");
    EXPECT_EQ(screens::format_text(44100, 16, 128000), u"44kHz 16bit 128kbps");
}

}  // namespace
