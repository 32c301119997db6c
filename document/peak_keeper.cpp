#include "document/peak_keeper.h"

#include <cmath>

#include "document/file_peaks.h"
#include "document/peak_cache.h"
#include "os/log.h"

PeakKeeper::PeakKeeper(std::u16string cache_path) : m_cache_path(std::move(cache_path)) {}

PeakKeeper::~PeakKeeper() { cancel_computing(); }

PeakCache* PeakKeeper::cache() {
    if (!m_cache_tried) {
        m_cache_tried = true;
        m_cache = std::make_unique<PeakCache>(m_cache_path);
    }
    return m_cache && m_cache->is_open() ? m_cache.get() : nullptr;
}

void PeakKeeper::cancel_computing() {
    if (!m_worker.joinable()) return;
    m_cancel = true;
    m_worker.join();
    m_cancel = false;
    std::lock_guard guard(m_shared_lock);
    m_shared.clear();
}

void PeakKeeper::store() {
    if (PeakCache* kept = cache()) kept->store(m_path, m_peaks);
}

void PeakKeeper::begin_recording(const std::u16string& path, bool append) {
    const bool had_them = path == m_path && m_complete;
    cancel_computing();
    if (!append) {
        m_peaks.clear();
        m_complete = true;
    } else if (!had_them) {
        std::optional<std::vector<PeakPair>> kept;
        if (PeakCache* peaks = cache()) kept = peaks->load(path);
        m_complete = kept.has_value();
        m_peaks = kept ? std::move(*kept) : std::vector<PeakPair>{};
    }
    m_path = path;
    m_expected = 0;
    m_recording = true;
}

void PeakKeeper::add_recorded(const std::vector<PeakPair>& pairs) {
    if (!m_recording) return;
    m_peaks.insert(m_peaks.end(), pairs.begin(), pairs.end());
}

void PeakKeeper::end_recording() {
    if (!m_recording) return;
    m_recording = false;
    // Peaks with a hole (an append to a file whose own peaks were not known) are not kept: the
    // next opening computes them whole from the file.
    if (m_complete) store();
}

void PeakKeeper::open(const std::u16string& path, double duration) {
    m_expected =
        std::isfinite(duration) && duration > 0 ? static_cast<size_t>(std::ceil(duration * kPeaksPerSecond)) : 0;
    std::optional<std::vector<PeakPair>> kept;
    if (PeakCache* peaks = cache()) kept = peaks->load(path);
    if (kept) {
        cancel_computing();
        m_path = path;
        m_peaks = std::move(*kept);
        m_complete = true;
        return;
    }
    // Already under way for this file (opened again while computing): let it go on.
    if (path == m_path && m_worker.joinable()) return;
    cancel_computing();
    m_path = path;
    m_peaks.clear();
    m_complete = false;
    m_done = false;
    m_failed = false;
    m_worker = std::thread([this, path] {
        std::vector<PeakPair> all;
        const bool whole = compute_file_peaks(path, all, &m_cancel, [this](const std::vector<PeakPair>& fresh) {
            std::lock_guard guard(m_shared_lock);
            m_shared.insert(m_shared.end(), fresh.begin(), fresh.end());
        });
        m_failed = !whole;
        m_done = true;
    });
}

void PeakKeeper::renamed(const std::u16string& old_path, const std::u16string& new_path) {
    if (old_path != m_path) return;
    m_path = new_path;
    if (PeakCache* peaks = cache()) peaks->forget(old_path);
    if (m_complete && !m_recording) store();
}

void PeakKeeper::forget(const std::u16string& path) {
    if (path == m_path) {
        cancel_computing();
        m_path.clear();
        m_peaks.clear();
        m_complete = false;
        m_expected = 0;
    }
    if (PeakCache* peaks = cache()) peaks->forget(path);
}

bool PeakKeeper::poll() {
    if (!m_worker.joinable()) return false;
    const bool done = m_done.load();
    size_t before = m_peaks.size();
    {
        std::lock_guard guard(m_shared_lock);
        m_peaks.insert(m_peaks.end(), m_shared.begin(), m_shared.end());
        m_shared.clear();
    }
    if (done) {
        m_worker.join();
        if (!m_failed) {
            m_complete = true;
            m_expected = m_peaks.size();
            store();
        } else {
            os::log() << u"peaks of " << m_path << u" could not be computed\n";
        }
    }
    return m_peaks.size() != before || done;
}
