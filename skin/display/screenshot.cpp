#include "skin/display/screenshot.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os/log.h"
#include "os/text.h"
#include "os/tick.h"
#include "skin/png_writer.h"

namespace {
constexpr int32_t kInterval = 1000;
}

ScreenshotWriter::~ScreenshotWriter() { flush(); }

std::unique_ptr<ScreenshotWriter> ScreenshotWriter::from_environment() {
    const char* path = std::getenv("QUILLON_SCREENSHOT");
    if (!path || !*path) return nullptr;
    return std::make_unique<ScreenshotWriter>(path);
}

void ScreenshotWriter::on_frame(const Bitmap& frame) {
    if (!m_has_written || static_cast<int32_t>(os::tick_count() - m_last_write) >= kInterval) {
        m_pending.reset();
        write(frame);
        return;
    }
    if (!m_pending || m_pending->size() != frame.size()) m_pending = create_bitmap(frame.width(), frame.height());
    if (!m_pending) return;
    for (int32_t y = 0; y < frame.height(); ++y) {
        std::memcpy(m_pending->row(y), frame.row(y), static_cast<size_t>(frame.width()) * sizeof(Pixel));
    }
}

int32_t ScreenshotWriter::service() {
    if (!m_pending) return -1;
    const int32_t left = kInterval - static_cast<int32_t>(os::tick_count() - m_last_write);
    if (left > 0) return left;
    flush();
    return -1;
}

void ScreenshotWriter::flush() {
    if (!m_pending) return;
    const std::unique_ptr<MemoryBitmap> frame = std::move(m_pending);
    write(*frame);
}

void ScreenshotWriter::write(const Bitmap& frame) {
    m_has_written = true;
    m_last_write = os::tick_count();
    const std::string temporary = m_path + ".part";
    if (save_png(frame, temporary) && std::rename(temporary.c_str(), m_path.c_str()) == 0) {
        ++m_written;
        return;
    }
    std::remove(temporary.c_str());
    os::log() << u"screenshot not written: " << os::from_utf8(m_path) << u"\n";
}
