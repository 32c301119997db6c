#include "document/settings.h"

#include <gtest/gtest.h>

#include "os/registry.h"
#include "tests/os/temp_root.h"

namespace {

TEST(Settings, EmptyRegistryGivesDefaultsAndSavesThemBack) {
    TempRoot root;
    Settings settings;
    settings.load_first();
    settings.load_secondary();
    EXPECT_EQ(settings.format, u"Mp3Middle");
    EXPECT_EQ(settings.boost, u"BoostOff");
    EXPECT_EQ(settings.speaker, 0);
    EXPECT_EQ(settings.auto_record, 0);
    EXPECT_EQ(settings.vas_level, 0.0);
    EXPECT_EQ(settings.volume, 1.0);
    const RecordFormat format = record_format_of(settings.format);
    EXPECT_EQ(format.rate, 44100);
    EXPECT_EQ(format.bit_rate, 64000);
    EXPECT_EQ(format.channels, 1);
    EXPECT_EQ(format.bits, 16);
    EXPECT_EQ(format.codec, u"mp3");
    EXPECT_EQ(boost_factor_of(settings.boost), 1);

    settings.save();
    uint32_t volume = 0;
    std::u16string text;
    ASSERT_TRUE(os::reg_read_dword(settings_key, u"Volume", volume));
    EXPECT_EQ(volume, 1048576u);
    ASSERT_TRUE(os::reg_read_string(settings_key, u"Format", text));
    EXPECT_EQ(text, u"Mp3Middle");
}

TEST(Settings, FormatTableAndDisplay) {
    const RecordFormat low = record_format_of(u"Mp3Low");
    EXPECT_EQ(low.rate, 22050);
    EXPECT_EQ(low.bit_rate, 32000);
    EXPECT_EQ(format_display_text(low.rate, low.bits, low.bit_rate), u"22kHz 16bit 32kbps");
    EXPECT_EQ(record_format_of(u"Mp3High").bit_rate, 96000);
    EXPECT_EQ(record_format_of(u"mp3high").bit_rate, 64000);
    EXPECT_EQ(format_display_text(8000, 16, 0), u"8kHz 16bit");
}

TEST(Settings, FixedPointVolumeRoundTrips) {
    TempRoot root;
    ASSERT_TRUE(os::reg_write_dword(settings_key, u"Volume", 524288));
    ASSERT_TRUE(os::reg_write_dword(settings_key, u"VasLevel", 104857));  // 0.1 truncated
    Settings settings;
    settings.load_first();
    settings.load_secondary();
    EXPECT_EQ(settings.volume, 0.5);
    EXPECT_NEAR(settings.vas_level, 0.1, 1e-6);
    settings.save();
    uint32_t value = 0;
    ASSERT_TRUE(os::reg_read_dword(settings_key, u"Volume", value));
    EXPECT_EQ(value, 524288u);
    ASSERT_TRUE(os::reg_read_dword(settings_key, u"VasLevel", value));
    EXPECT_EQ(value, 104857u);
    EXPECT_EQ(to_fixed_point(-1.0), 0u);
    EXPECT_EQ(to_fixed_point(1e12), 0xFFFFFFFFu);
}

TEST(Settings, BadValuesFallBackToDefaults) {
    TempRoot root;
    // Wrong types and unknown texts.
    ASSERT_TRUE(os::reg_write_dword(settings_key, u"Format", 3));
    ASSERT_TRUE(os::reg_write_string(settings_key, u"Boost", u"boost1"));
    ASSERT_TRUE(os::reg_write_string(settings_key, u"Volume", u"loud"));
    ASSERT_TRUE(os::reg_write_string(settings_key, u"Speaker", u"yes"));
    Settings settings;
    settings.load_first();
    settings.load_secondary();
    EXPECT_EQ(settings.format, u"Mp3Middle");
    EXPECT_EQ(settings.boost, u"BoostOff");
    EXPECT_EQ(settings.volume, 1.0);
    EXPECT_EQ(settings.speaker, 0);
    EXPECT_EQ(boost_factor_of(u"boost1"), 1);
    EXPECT_EQ(boost_factor_of(u"Boost1"), 2);
    EXPECT_EQ(boost_factor_of(u"Boost3"), 8);

    ASSERT_TRUE(os::reg_write_string(settings_key, u"Format", u"Mp3Low"));
    ASSERT_TRUE(os::reg_write_dword(settings_key, u"Speaker", 1));
    settings.load_first();
    EXPECT_EQ(settings.format, u"Mp3Low");
    EXPECT_EQ(settings.speaker, 1);
}

TEST(Settings, CurrentPathIsKept) {
    TempRoot root;
    EXPECT_EQ(read_current_path(), u"");
    write_current_path(u"/x/y.mp3");
    EXPECT_EQ(read_current_path(), u"/x/y.mp3");
}

}  // namespace
