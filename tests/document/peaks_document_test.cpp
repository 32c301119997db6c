// The waveform peaks the document keeps: made while recording and equal to those of the decoded
// file, kept in the cache for the file's version, computed in the background for other files
// without holding the GUI thread, extended by an append, and made again for a changed file.
#include <chrono>
#include <cstdlib>

#include "document/document.h"
#include "document/file_peaks.h"
#include "document/peak_cache.h"
#include "document/record_cache.h"
#include "os/text.h"
#include "tests/document/document_test_support.h"

namespace {

using document_test::DocumentFixture;

class PeaksTest : public DocumentFixture {
protected:
    void record_for(double seconds) {
        ASSERT_TRUE(run_until([&] { return document->duration().total() >= seconds; }));
    }
    std::vector<PeakPair> decoded(const std::u16string& path) {
        std::vector<PeakPair> out;
        EXPECT_TRUE(compute_file_peaks(path, out));
        return out;
    }
    std::optional<std::vector<PeakPair>> kept(const std::u16string& path) {
        PeakCache cache(RecordCache::default_path());
        return cache.load(path);
    }
    static void expect_close(const std::vector<PeakPair>& a, const std::vector<PeakPair>& b, int tolerance,
                             size_t count_tolerance) {
        const size_t longer = std::max(a.size(), b.size());
        EXPECT_LE(longer - std::min(a.size(), b.size()), count_tolerance) << a.size() << " vs " << b.size();
        // The last pair may cover a different stretch (an encoder's padding).
        for (size_t i = 0; i + 1 < std::min(a.size(), b.size()); ++i) {
            EXPECT_NEAR(a[i].low, b[i].low, tolerance) << "pair " << i;
            EXPECT_NEAR(a[i].high, b[i].high, tolerance) << "pair " << i;
            if (std::abs(a[i].low - b[i].low) > tolerance || std::abs(a[i].high - b[i].high) > tolerance) break;
        }
    }
};

TEST_F(PeaksTest, APcmRecordingKeepsThePeaksOfItsFileAndAnAppendExtendsThem) {
    document->set_record_format(RecordFormat{u"PCM", 1, 16, 16000, 256000});
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    const std::u16string path = document->current_record().path;
    record_for(2.0);
    document->stop();
    const std::vector<PeakPair> recorded = document->peaks().peaks();
    ASSERT_GE(recorded.size(), 10u);
    EXPECT_EQ(recorded, decoded(path));
    // The tone's amplitude of 8000 is 31 of 127.
    EXPECT_NEAR(recorded[3].high, 31, 1);
    EXPECT_NEAR(recorded[3].low, -31, 1);
    ASSERT_TRUE(kept(path).has_value());
    EXPECT_EQ(*kept(path), recorded);

    ASSERT_TRUE(document->select(path));
    ASSERT_TRUE(document->record_append());
    record_for(1.0);
    document->stop();
    const std::vector<PeakPair> extended = document->peaks().peaks();
    EXPECT_GT(extended.size(), recorded.size() + 4);
    // The appended part starts at the old end, which may fall inside a pair: within one pair.
    expect_close(extended, decoded(path), 1, 1);
    ASSERT_TRUE(kept(path).has_value());
    EXPECT_EQ(kept(path)->size(), extended.size());
}

TEST_F(PeaksTest, AnMp3RecordingsPeaksMatchItsDecodedFileWithinRounding) {
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    const std::u16string path = document->current_record().path;
    record_for(2.0);
    document->stop();
    const std::vector<PeakPair> recorded = document->peaks().peaks();
    ASSERT_GE(recorded.size(), 10u);
    // The coder changes a steady tone's peaks by a few hundredths at most, and pads the end.
    expect_close(recorded, decoded(path), 3, 2);
}

TEST_F(PeaksTest, AFileFromElsewhereGetsItsPeaksInTheBackgroundThenFromTheCache) {
    const std::string foreign = root.path() + "/from elsewhere.wav";
    document_test::write_tone(foreign, 8000, 600.0, 300.0, 16000);
    const std::u16string path = os::from_utf8(foreign);
    ASSERT_TRUE(document->play(path));
    PeakKeeper& keeper = document->peaks();
    EXPECT_EQ(keeper.path(), path);
    EXPECT_EQ(keeper.expected(), 3000u);
    // The GUI thread's share of the work, measured in this loop: taking what has arrived never
    // holds a frame (40 ms) up, however long the file.
    double longest = 0;
    size_t polls_with_news = 0;
    ASSERT_TRUE(run_until(
        [&] {
            const auto began = std::chrono::steady_clock::now();
            const bool news = keeper.poll();
            longest =
                std::max(longest, std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
            polls_with_news += news ? 1 : 0;
            return keeper.is_complete();
        },
        60000));
    EXPECT_LT(longest, 0.040);
    EXPECT_GE(polls_with_news, 1u);
    EXPECT_FALSE(keeper.is_computing());
    EXPECT_EQ(keeper.peaks().size(), 3000u);
    EXPECT_EQ(keeper.peaks(), decoded(path));
    EXPECT_EQ(keeper.peaks()[10], (PeakPair{peak_value(-16000), peak_value(16000)}));
    ASSERT_TRUE(kept(path).has_value());

    // Opened again: from the cache at once.
    document->stop();
    ASSERT_TRUE(document->play(path));
    EXPECT_TRUE(keeper.is_complete());
    EXPECT_FALSE(keeper.is_computing());
    document->stop();

    // Another program changes the file: its peaks are made anew.
    document_test::write_tone(foreign, 8000, 20.0, 300.0, 4000);
    EXPECT_FALSE(kept(path).has_value());
    ASSERT_TRUE(document->play(path));
    EXPECT_FALSE(keeper.is_complete());
    ASSERT_TRUE(run_until([&] { return keeper.poll(), keeper.is_complete(); }));
    EXPECT_EQ(keeper.peaks().size(), 100u);
    EXPECT_EQ(keeper.peaks()[10].high, peak_value(4000));
}

TEST_F(PeaksTest, TheTableSitsBesideTheRecordsWithoutDisturbingThemAndDeletedFilesLoseTheirRows) {
    document->set_record_format(RecordFormat{u"PCM", 1, 16, 16000, 256000});
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    record_for(1.0);
    document->stop();
    const std::u16string path = document->current_record().path;
    ASSERT_TRUE(kept(path).has_value());
    {
        // The record cache of the same database still serves its rows once the peaks are there.
        RecordCache records(RecordCache::default_path());
        records.entry_of(path);
        records.commit();
    }
    RecordCache again(RecordCache::default_path());
    again.entry_of(path);
    EXPECT_EQ(again.hits(), 1u);
    EXPECT_TRUE(kept(path).has_value());

    EXPECT_TRUE(PeakCache(RecordCache::default_path()).has_row(path));
    ASSERT_TRUE(document->remove_record(path));
    EXPECT_FALSE(document->peaks().is_complete());
    // The row goes with the file.
    EXPECT_FALSE(PeakCache(RecordCache::default_path()).has_row(path));
}

TEST_F(PeaksTest, ARenamedRecordKeepsItsPeaks) {
    document->set_record_format(RecordFormat{u"PCM", 1, 16, 16000, 256000});
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    record_for(1.0);
    document->stop();
    const std::vector<PeakPair> recorded = document->peaks().peaks();
    ASSERT_TRUE(document->set_title(u"Shopping list"));
    const std::u16string renamed = document->current_record().path;
    ASSERT_TRUE(kept(renamed).has_value());
    EXPECT_EQ(*kept(renamed), recorded);
}

}  // namespace
