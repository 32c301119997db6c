#pragma once
// QUILLON_SCREENSHOT=FILE.png: the latest presented frame is written there, at most once per
// second and once more at exit, so that tests and users can see what the program shows. The file
// is replaced whole (written beside it, then renamed), so a reader never sees half a picture.
#include <cstdint>
#include <memory>
#include <string>

#include "skin/display/display.h"

class ScreenshotWriter {
public:
    explicit ScreenshotWriter(std::string path) : m_path(std::move(path)) {}
    // Writes what is held back.
    ~ScreenshotWriter();
    ScreenshotWriter(const ScreenshotWriter&) = delete;
    ScreenshotWriter& operator=(const ScreenshotWriter&) = delete;

    // Nullptr unless QUILLON_SCREENSHOT names a file.
    static std::unique_ptr<ScreenshotWriter> from_environment();

    // Writes the frame now when a second has passed since the last write, else keeps a copy.
    void on_frame(const Bitmap& frame);
    // Writes a kept copy whose second has passed; the milliseconds until the next call is due, or
    // negative when nothing is kept.
    int32_t service();
    // Writes a kept copy now.
    void flush();
    int64_t written_count() const { return m_written; }

private:
    void write(const Bitmap& frame);

    std::string m_path;
    std::unique_ptr<MemoryBitmap> m_pending;
    bool m_has_written = false;
    uint32_t m_last_write = 0;
    int64_t m_written = 0;
};
