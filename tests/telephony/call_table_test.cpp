// The call table alone: which call is the first, what a restart keeps, and the bound on texts.
#include "telephony/bridge/call_table.h"

#include <gtest/gtest.h>

#include "telephony/phone_state.h"

namespace {

BridgeCall make(std::string key, BridgeCallPhase phase, BridgeCallDirection direction, std::u16string number) {
    BridgeCall call;
    call.key = std::move(key);
    call.phase = phase;
    call.direction = direction;
    call.number = std::move(number);
    return call;
}

TEST(CallTable, FirstCallIsThePartyTalkedToElseTheEarliest) {
    CallTable table;
    EXPECT_EQ(table.snapshot().call_count, 0u);
    EXPECT_FALSE(table.snapshot().first);
    table.update(make("mm:/1", BridgeCallPhase::ringing, BridgeCallDirection::incoming, u"111"));
    table.update(make("mm:/2", BridgeCallPhase::dialling, BridgeCallDirection::outgoing, u"222"));
    LineSnapshot line = table.snapshot();
    EXPECT_EQ(line.call_count, 2u);
    EXPECT_TRUE(line.ringing);
    EXPECT_TRUE(line.dialling);
    EXPECT_FALSE(line.connected);
    EXPECT_EQ(line.first->number, u"111");
    ASSERT_TRUE(table.set_phase("mm:/2", BridgeCallPhase::active));
    line = table.snapshot();
    EXPECT_TRUE(line.connected);
    EXPECT_EQ(line.first->number, u"222");
    // The earlier call is held: the party talked to is still the active one.
    ASSERT_TRUE(table.set_phase("mm:/1", BridgeCallPhase::held));
    EXPECT_EQ(table.snapshot().first->number, u"222");
    // Swapped: the held call is resumed and the other one held; the line describes the resumed one.
    ASSERT_TRUE(table.set_phase("mm:/2", BridgeCallPhase::held));
    EXPECT_EQ(table.snapshot().first->number, u"111");
    ASSERT_TRUE(table.set_phase("mm:/1", BridgeCallPhase::active));
    EXPECT_EQ(table.snapshot().first->number, u"111");
    // Both held: the one that came first.
    ASSERT_TRUE(table.set_phase("mm:/1", BridgeCallPhase::held));
    EXPECT_EQ(table.snapshot().first->number, u"111");
    // A stack that briefly calls both active: the later one is the party just taken.
    ASSERT_TRUE(table.set_phase("mm:/1", BridgeCallPhase::active));
    ASSERT_TRUE(table.set_phase("mm:/2", BridgeCallPhase::active));
    EXPECT_EQ(table.snapshot().first->number, u"222");
    // Snapshots of different calls differ even where number and name agree.
    table.update(make("mm:/3", BridgeCallPhase::held, BridgeCallDirection::incoming, u"222"));
    LineSnapshot before = table.snapshot();
    ASSERT_TRUE(table.set_phase("mm:/2", BridgeCallPhase::held));
    ASSERT_TRUE(table.set_phase("mm:/3", BridgeCallPhase::active));
    EXPECT_FALSE(table.snapshot() == before);
    EXPECT_TRUE(table.remove("mm:/3"));
    ASSERT_TRUE(table.set_phase("mm:/2", BridgeCallPhase::active));
    EXPECT_FALSE(table.set_phase("mm:/9", BridgeCallPhase::active));
    EXPECT_TRUE(table.remove("mm:/1"));
    EXPECT_FALSE(table.remove("mm:/1"));
    EXPECT_EQ(table.snapshot().first->number, u"222");
}

TEST(CallTable, ARestartedStackTakesItsCallsBackUnderNewPathsAndLosesTheRest) {
    CallTable table;
    table.update(make("mm:/a", BridgeCallPhase::active, BridgeCallDirection::incoming, u"111"));
    table.update(make("mm:/b", BridgeCallPhase::held, BridgeCallDirection::outgoing, u"222"));
    table.update(make("ofono:/c", BridgeCallPhase::ringing, BridgeCallDirection::incoming, u"111"));
    table.unconfirm("mm:");
    EXPECT_TRUE(table.has_unconfirmed("mm:"));
    EXPECT_FALSE(table.has_unconfirmed("ofono:"));
    // Listed again without its direction: the one it had is kept, and so is its place.
    BridgeCall again = make("mm:/z", BridgeCallPhase::active, BridgeCallDirection::unknown, u"111");
    table.update(again);
    ASSERT_EQ(table.calls().size(), 3u);
    EXPECT_EQ(table.calls()[0].key, "mm:/z");
    EXPECT_EQ(table.calls()[0].direction, BridgeCallDirection::incoming);
    EXPECT_TRUE(table.calls()[0].confirmed);
    // A new call of another stack never takes an unconfirmed one's place.
    table.update(make("ofono:/d", BridgeCallPhase::held, BridgeCallDirection::outgoing, u"222"));
    EXPECT_EQ(table.calls().size(), 4u);
    EXPECT_EQ(table.drop_unconfirmed("mm:"), 1u);
    EXPECT_EQ(table.find("mm:/b"), nullptr);
    EXPECT_NE(table.find("ofono:/c"), nullptr);
    EXPECT_FALSE(table.has_unconfirmed("mm:"));
}

TEST(CallTable, NumbersAndNamesAreCutToThePhoneStateBound) {
    CallTable table;
    BridgeCall call =
        make("mm:/1", BridgeCallPhase::ringing, BridgeCallDirection::incoming, std::u16string(10000, u'7'));
    call.name = std::u16string(300, u'n');
    table.update(call);
    EXPECT_EQ(table.calls()[0].number.size(), phone_state::text_bound);
    EXPECT_EQ(table.calls()[0].name.size(), phone_state::text_bound);
    ASSERT_TRUE(table.set_number("mm:/1", std::u16string(5000, u'8')));
    EXPECT_EQ(table.calls()[0].number, std::u16string(phone_state::text_bound, u'8'));
    // What a network sends as a name never carries control characters into tags and log lines.
    ASSERT_TRUE(table.set_name("mm:/1", u"  WIRELESS\nCALLER\x1b[31m\r\n\x7f\x9b\t"));
    EXPECT_EQ(table.calls()[0].name, u"WIRELESS CALLER[31m");
    ASSERT_TRUE(table.set_name("mm:/1", u"\n\x1b\n"));
    EXPECT_EQ(table.calls()[0].name, u"");
    EXPECT_EQ(phone_state::bounded_text(std::u16string_view(u"Ann\0Smith", 9), 255), u"Ann");
}

}  // namespace
