#include "lang/language_names.h"

#include <gtest/gtest.h>

TEST(LanguageNames, TableAndLocales) {
    int named = 0;
    for (uint32_t id = 0; id < lang::kLanguageNameCount; ++id) {
        const lang::LanguageName entry = lang::language_name(id);
        if (!entry.name.empty()) ++named;
        // Every code is two capitals, and only named entries have one.
        if (!entry.code.empty()) {
            EXPECT_FALSE(entry.name.empty()) << id;
            ASSERT_EQ(entry.code.size(), 2u) << id;
            EXPECT_TRUE(entry.code[0] >= u'A' && entry.code[0] <= u'Z' && entry.code[1] >= u'A' &&
                        entry.code[1] <= u'Z');
        }
    }
    EXPECT_EQ(named, 67);
    EXPECT_EQ(lang::language_name(9).name, u"ENGLISH");
    EXPECT_EQ(lang::language_name(25).name, u"RUSSIAN");
    EXPECT_EQ(lang::language_name(7).code, u"DE");
    EXPECT_EQ(lang::language_name(97).name, u"NEPALI");
    EXPECT_EQ(lang::language_name(38).code, u"");  // LATVIAN and BENGALI have no code
    EXPECT_EQ(lang::language_name(69).code, u"");
    EXPECT_EQ(lang::language_name(23).name, u"");
    EXPECT_EQ(lang::language_name(99).name, u"");
    EXPECT_EQ(lang::language_name(0x0419).name, u"RUSSIAN");  // a full identifier: the low 10 bits count

    EXPECT_EQ(lang::primary_language_of_locale("ru_RU.UTF-8"), 25u);
    EXPECT_EQ(lang::primary_language_of_locale("de"), 7u);
    EXPECT_EQ(lang::primary_language_of_locale("en_GB@euro"), 9u);
    EXPECT_EQ(lang::primary_language_of_locale("DE_de"), 7u);
    EXPECT_EQ(lang::primary_language_of_locale("nb_NO.UTF-8"), 20u);
    EXPECT_EQ(lang::primary_language_of_locale("lv_LV"), 38u);
    EXPECT_EQ(lang::primary_language_of_locale("C"), 0u);
    EXPECT_EQ(lang::primary_language_of_locale("POSIX"), 0u);
    EXPECT_EQ(lang::primary_language_of_locale("C.UTF-8"), 0u);
    EXPECT_EQ(lang::primary_language_of_locale(""), 0u);
    EXPECT_EQ(lang::primary_language_of_locale("tlh_XX"), 0u);
}
