#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "os/event.h"
#include "os/log.h"
#include "os/path.h"
#include "os/registry.h"
#include "os/stopwatch.h"
#include "os/text.h"
#include "telephony/contacts/contacts_session.h"
#include "telephony/contacts/phone_number.h"
#include "telephony_test_env.h"
#include "tests/support/scoped_env.h"

using namespace telephony_test;

TEST(PhoneNumber, MatchingRule) {
    // Separators never matter.
    EXPECT_TRUE(phone_numbers_match(u"(020) 7946-0958", u"020 7946 0958"));
    // Country code on one side, trunk prefix on the other.
    EXPECT_TRUE(phone_numbers_match(u"+44 20 7946 0958", u"020 7946 0958"));
    EXPECT_TRUE(phone_numbers_match(u"+44 (0)20 7946 0958", u"+442079460958"));
    EXPECT_TRUE(phone_numbers_match(u"0044 20 7946 0958", u"+44 20 7946 0958"));
    EXPECT_TRUE(phone_numbers_match(u"+45 12345678", u"12345678"));
    EXPECT_TRUE(phone_numbers_match(u"tel:+1-555-123-4567;ext=2", u"(555) 123-4567"));
    // Two different country codes are two different lines.
    EXPECT_FALSE(phone_numbers_match(u"+44 20 7946 0958", u"+33 20 7946 0958"));
    // Short codes match only themselves, not the end of a longer number.
    EXPECT_TRUE(phone_numbers_match(u"112", u"112"));
    EXPECT_FALSE(phone_numbers_match(u"112", u"+49 30 112"));
    EXPECT_FALSE(phone_numbers_match(u"*100#", u"100"));
    // Nothing to dial matches nothing.
    EXPECT_FALSE(phone_numbers_match(u"", u""));
    EXPECT_FALSE(phone_numbers_match(u"Voicemail", u"Voicemail"));

    // Closeness: the number as written, then the same digits with and without the country, then
    // endings by length.
    const int exact = phone_match_strength(u"01 23 45 67 89", u"0123456789");
    const int same_digits = phone_match_strength(u"+123456789", u"0123456789");
    const int ending9 = phone_match_strength(u"+44 1 23 45 67 89", u"01 23 45 67 89");
    const int ending7 = phone_match_strength(u"+44 1 23 45 67 89", u"3 45 67 89");
    EXPECT_GT(exact, same_digits);
    EXPECT_EQ(same_digits, ending9);
    EXPECT_GT(ending9, ending7);
    EXPECT_GT(ending7, 0);
    EXPECT_EQ(phone_match_strength(u"+44 1 23 45 67 89", u"45 67 89"), 0);
}

namespace {

class ContactsFolder : public ::testing::Test {
protected:
    void SetUp() override {
        reset_phone();
        m_folder = root() + "/contacts-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ::mkdir(m_folder.c_str(), 0755);
        m_env.set("QUILLON_CONTACTS", m_folder);
    }
    void TearDown() override { reset_phone(); }

    void card(const std::string& file, const std::string& body) {
        write_file(m_folder + "/" + file, "BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "END:VCARD\r\n");
    }

    std::string m_folder;
    test_support::ScopedEnv m_env;
};

std::string log_text() {
    const std::string bytes = read_file(os::to_utf8(os::log_file_path()));
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
    }
    return os::to_utf8(text);
}

}  // namespace

TEST_F(ContactsFolder, FindsTheClosestCardAndItsPicture) {
    // "PNG" in base64 with the PNG signature in front: 11 bytes, more than 7.
    card("a.vcf", "FN:Other\r\nTEL:+44 20 7946 1111\r\n");
    card("b.vcf",
         "FN:Ann Smith\r\nTEL;TYPE=HOME:555 0100\r\nTEL;TYPE=CELL:(020) 7946-0958\r\n"
         "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgpQTkc=\r\n");
    card("c.vcf", "FN:Later Duplicate\r\nTEL:+44 20 7946 0958\r\n");
    write_file(m_folder + "/notes.txt", "BEGIN:VCARD\r\nFN:Not A Card File\r\nTEL:+44 20 7946 0958\r\nEND:VCARD\r\n");

    ContactsSession session;
    ContactRecord record;
    // The card that holds the number as dialled wins over the one with the country code.
    ASSERT_TRUE(find_contact_by_phone(session, u"020 7946 0958", record));
    EXPECT_EQ(record.name, u"Ann Smith");
    EXPECT_EQ(record.number, u"(020) 7946-0958");
    const std::vector<uint8_t> picture = contact_picture(session, record.object_id);
    ASSERT_EQ(picture.size(), 11u);
    EXPECT_EQ(guess_picture_mime(picture), u"image/png");

    // An id this session did not hand out, and a number nobody has.
    EXPECT_TRUE(contact_picture(session, record.object_id + 5).empty());
    EXPECT_TRUE(contact_picture(session, 0).empty());
    ContactRecord none;
    EXPECT_FALSE(find_contact_by_phone(session, u"+1 999 000 0000", none));
    EXPECT_FALSE(find_contact_by_phone(session, u"", none));
}

TEST_F(ContactsFolder, ExactNumberBeforeALongerEndingAndNoAnswerOnATie) {
    card("a-anna.vcf", "FN:Anna London\r\nTEL:+44 1 23 45 67 89\r\n");
    card("b-bruno.vcf", "FN:Bruno Paris\r\nTEL;TYPE=WORK:+33 6 00 00 00 01\r\nTEL:01 23 45 67 89\r\n");
    ContactsSession session;
    ContactRecord record;
    ASSERT_TRUE(find_contact_by_phone(session, u"01 23 45 67 89", record));
    EXPECT_EQ(record.name, u"Bruno Paris");
    EXPECT_EQ(record.number, u"01 23 45 67 89");
    ASSERT_TRUE(find_contact_by_phone(session, u"+44 1 23 45 67 89", record));
    EXPECT_EQ(record.name, u"Anna London");

    // The longest common ending wins when nobody holds the number exactly.
    card("c-carl.vcf", "FN:Carl\r\nTEL:45 67 89 01\r\n");
    card("d-dora.vcf", "FN:Dora\r\nTEL:345 67 89 01\r\n");
    ASSERT_TRUE(find_contact_by_phone(session, u"+49 2 345 67 89 01", record));
    EXPECT_EQ(record.name, u"Dora");

    // Two people equally close: nobody, rather than the wrong one. The same person kept in two
    // address books is still found.
    card("e-emil.vcf", "FN:Emil\r\nTEL:555 0100 200\r\n");
    card("f-fay.vcf", "FN:Fay\r\nTEL:(555) 0100-200\r\n");
    EXPECT_FALSE(find_contact_by_phone(session, u"555 0100 200", record));
    EXPECT_TRUE(record.name.empty());
    card("g-gus.vcf", "FN:Gus\r\nTEL:0777 1234567\r\n");
    card("h-gus-again.vcf", "FN:Gus\r\nTEL:+44 777 1234567\r\nTEL:07771234567\r\n");
    ASSERT_TRUE(find_contact_by_phone(session, u"07771234567", record));
    EXPECT_EQ(record.name, u"Gus");
    EXPECT_EQ(record.number, u"0777 1234567");
}

TEST_F(ContactsFolder, JunkFilesAreSkippedAndAPictureTooLargeIsLeftOut) {
    std::string junk(4096, '\0');
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 131 + 7);
    write_file(m_folder + "/0-junk.vcf", junk);
    card("1-huge.vcf", "FN:Huge\r\nTEL:0555 123 456 7\r\nPHOTO;ENCODING=b:" + std::string(300000, 'A') + "\r\n");
    ContactsSession session;
    ContactRecord record;
    ASSERT_TRUE(find_contact_by_phone(session, u"+49 555 1234567", record));
    EXPECT_EQ(record.name, u"Huge");
    EXPECT_TRUE(contact_picture(session, record.object_id).empty());
}

TEST_F(ContactsFolder, MissingStoreIsLookedForOnceUntilRestart) {
    os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", 1);
    const std::string missing = m_folder + "/not-yet";
    test_support::ScopedEnv env;
    env.set("QUILLON_CONTACTS", missing);
    ContactRecord record;
    {
        ContactsSession session;
        EXPECT_FALSE(find_contact_by_phone(session, u"0555 1234567", record));
    }
    // The folder appears, but the process already knows it has no store.
    ::mkdir(missing.c_str(), 0755);
    write_file(missing + "/a.vcf", "BEGIN:VCARD\r\nFN:Ann\r\nTEL:0555 1234567\r\nEND:VCARD\r\n");
    {
        ContactsSession session;
        EXPECT_FALSE(find_contact_by_phone(session, u"0555 1234567", record));
    }
    os::log().flush();
    const std::string log = log_text();
    os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", 0);
    EXPECT_NE(log.find("find_contact_by_phone: library not valid\n"), std::string::npos);
    forget_contacts_store();  // as a restart would
    ContactsSession session;
    EXPECT_TRUE(find_contact_by_phone(session, u"0555 1234567", record));
    EXPECT_EQ(record.name, u"Ann");
}

TEST(ContactsStore, FolderFollowsTheEnvironment) {
    test_support::ScopedEnv env;
    env.set("QUILLON_CONTACTS", "/somewhere/cards/");
    EXPECT_EQ(contacts_folder(), u"/somewhere/cards");
    env.unset("QUILLON_CONTACTS");
    EXPECT_EQ(contacts_folder(), os::from_utf8(root()) + u"/kpeoplevcard");
}

TEST_F(ContactsFolder, AnAddressBookOfThousandsIsIndexedAndFollowsItsChanges) {
    for (int i = 0; i < 3000; ++i) {
        card("person" + std::to_string(i) + ".vcf",
             "FN:Person " + std::to_string(i) + "\r\nTEL:+1 555 " + std::to_string(1000000 + i) + "\r\n");
    }
    ContactsSession session;
    ContactRecord record;
    Stopwatch watch;
    ASSERT_TRUE(find_contact_by_phone(session, u"+1 555 1002999", record));
    const double first = watch.lap();
    EXPECT_EQ(record.name, u"Person 2999");
    // Later lookups read no card again, only the listing.
    ASSERT_TRUE(find_contact_by_phone(session, u"+1 555 1000007", record));
    const double again = watch.lap();
    EXPECT_EQ(record.name, u"Person 7");
    std::printf("[ figure ] 3000 vCards: first lookup %.1f ms, then %.1f ms\n", first * 1000, again * 1000);
    EXPECT_LT(again, first);

    // A card changed, one added and one removed are seen at the next lookup.
    card("person7.vcf", "FN:Person Seven\r\nTEL:+1 555 1000007\r\nTEL:+1 555 7777777\r\n");
    card("zz-new.vcf", "FN:Newcomer\r\nTEL:+1 555 8888888\r\n");
    ASSERT_EQ(::unlink((m_folder + "/person8.vcf").c_str()), 0);
    ContactRecord changed;
    ASSERT_TRUE(find_contact_by_phone(session, u"+1 555 7777777", changed));
    EXPECT_EQ(changed.name, u"Person Seven");
    ASSERT_TRUE(find_contact_by_phone(session, u"+1 555 8888888", changed));
    EXPECT_EQ(changed.name, u"Newcomer");
    EXPECT_FALSE(find_contact_by_phone(session, u"+1 555 1000008", changed));
}
