// Which of the six icons a recording gets, and that the shipped skin has a picture for each.
#include "screens/record_icons.h"

#include <gtest/gtest.h>

#include "os/path.h"
#include "tests/screens/screen_fixture.h"

namespace {

using screens::record_icon_for;
using screens::RecordIcon;

class RecordIconsTest : public screen_test::ScreenFixture {};

TEST_F(RecordIconsTest, StorageAndDirectionChooseTheIcon) {
    const std::u16string memory = os::my_documents_folder() + u"/My Quillon";
    EXPECT_EQ(record_icon_for(memory + u"/Note 1.mp3"), RecordIcon::MainMemory);
    EXPECT_EQ(record_icon_for(memory + u"/Incoming/Alice.mp3"), RecordIcon::MainMemoryIncoming);
    EXPECT_EQ(record_icon_for(memory + u"/Outgoing/Bob.mp3"), RecordIcon::MainMemoryOutgoing);
    EXPECT_EQ(record_icon_for(u"/media/card/My Quillon/Note.mp3"), RecordIcon::Card);
    EXPECT_EQ(record_icon_for(u"/media/card/My Quillon/Incoming/Alice.mp3"), RecordIcon::CardIncoming);
    EXPECT_EQ(record_icon_for(u"/media/card/My Quillon/Outgoing/Bob.mp3"), RecordIcon::CardOutgoing);
    // A title that merely contains the word is no direction.
    EXPECT_EQ(record_icon_for(memory + u"/Incoming call.mp3"), RecordIcon::MainMemory);
    // A folder beside the documents folder whose name starts the same is not main memory.
    EXPECT_EQ(record_icon_for(os::my_documents_folder() + u"2/Incoming/x.mp3"), RecordIcon::CardIncoming);
}

TEST_F(RecordIconsTest, TheShippedSkinHasEveryIcon) {
    screens::RecordIcons icons;
    icons.load(skin);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(icons.picture(static_cast<RecordIcon>(i)).is_valid()) << i;
}

}  // namespace
