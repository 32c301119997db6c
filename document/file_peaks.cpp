#include "document/file_peaks.h"

#include "audio/readers/file_reader.h"

namespace {
constexpr int kPullFrames = 16384;
// About ten seconds of sound between reports, so the waveform grows smoothly.
constexpr size_t kReportPairs = 50;
}  // namespace

bool compute_file_peaks(const std::u16string& path, std::vector<PeakPair>& out, const std::atomic<bool>* cancel,
                        const std::function<void(const std::vector<PeakPair>& fresh)>& arrived) {
    std::unique_ptr<FileReader> reader = FileReader::open(path);
    if (!reader) return false;
    PeakAccumulator accumulator;
    std::vector<PeakPair> fresh;
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return false;
        const AudioBlock block = reader->output().get_data(kPullFrames);
        if (block.is_empty()) break;
        accumulator.add(block, fresh);
        if (fresh.size() >= kReportPairs) {
            out.insert(out.end(), fresh.begin(), fresh.end());
            if (arrived) arrived(fresh);
            fresh.clear();
        }
    }
    accumulator.flush(fresh);
    out.insert(out.end(), fresh.begin(), fresh.end());
    if (arrived && !fresh.empty()) arrived(fresh);
    return true;
}
