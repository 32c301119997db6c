#include "skin/display/display.h"

#include <cstring>

#include "os/log.h"
#include "skin/display/screenshot.h"

namespace {
// Larger than any screen, small enough that width × height × 2 stays far inside 32 bits.
constexpr int32_t kMaxScreenSide = 16384;
}  // namespace

Size frame_size_for(int32_t width, int32_t height, int32_t orientation) {
    return (orientation & 1) ? Size{height, width} : Size{width, height};
}

Point screen_to_frame(Point screen, Size frame, int32_t orientation) {
    switch (orientation & 3) {
        case 1:
            return {screen.y, frame.height - 1 - screen.x};
        case 2:
            return {frame.width - 1 - screen.x, frame.height - 1 - screen.y};
        case 3:
            return {frame.width - 1 - screen.y, screen.x};
        default:
            return screen;
    }
}

Display::Display(const DisplayParams& params) : m_params(params), m_screenshot(ScreenshotWriter::from_environment()) {
    m_params.orientation &= 3;
}

Display::~Display() = default;

bool Display::present(const Bitmap& frame) {
    const bool shown = show(frame);
    if (m_screenshot) m_screenshot->on_frame(frame);
    return shown;
}

int32_t Display::service() { return m_screenshot ? m_screenshot->service() : -1; }

void Display::resize(int32_t width, int32_t height) {
    m_params.width = width;
    m_params.height = height;
}

MemoryBitmap::MemoryBitmap(int32_t width, int32_t height, std::vector<Pixel> storage, int32_t pitch)
    : Bitmap(storage.data(), width, height, pitch), m_memory(std::move(storage)) {}

std::unique_ptr<MemoryBitmap> create_bitmap(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > kMaxScreenSide || height > kMaxScreenSide) return nullptr;
    const int32_t pitch = (width * 2 + 3) & ~3;
    std::vector<Pixel> storage(static_cast<size_t>(pitch / 2) * static_cast<size_t>(height));
    return std::make_unique<MemoryBitmap>(width, height, std::move(storage), pitch);
}

std::unique_ptr<MemoryBitmap> create_drawable_bitmap(int32_t width, int32_t height) {
    return create_bitmap(width, height);
}

bool NullDisplay::show(const Bitmap& frame) {
    if (!m_last || m_last->size() != frame.size()) m_last = create_bitmap(frame.width(), frame.height());
    if (!m_last) return false;
    for (int32_t y = 0; y < frame.height(); ++y) {
        std::memcpy(m_last->row(y), frame.row(y), static_cast<size_t>(frame.width()) * sizeof(Pixel));
    }
    ++m_presented;
    return true;
}

void normalise_swap_effect(DisplayParams& params) {
    if (params.swap_effect != 0) return;
    params.swap_effect = 1;
    os::log() << u"Swap effect forced to SWAP_DISCARD\n";
}

void log_display_created(const DisplayParams& params, bool success) {
    if (!success) {
        os::log() << u"Failed, destroying internal structures\n";
        return;
    }
    os::log() << u"Success, returning display params to caller (W:" << params.width << u", H:" << params.height
              << u", O:" << params.orientation << u", S:" << params.swap_effect << u")\n";
}

std::unique_ptr<NullDisplay> create_null_display(DisplayParams& params) {
    normalise_swap_effect(params);
    params.orientation &= 3;
    os::log() << u"Initializing video driver...\n";
    auto display = std::make_unique<NullDisplay>(params);
    os::log() << u"Driver initialized!\n";
    log_display_created(params, true);
    return display;
}
