#pragma once
// The waveform peaks of a whole file, decoded by the reader that plays it.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "audio/peaks.h"

// Reads the file at path from its start and appends its pairs to out; `arrived` (when given) is
// called every so often with the pairs made since its last call. Stops early, with false, when
// `cancel` becomes true; false too when no reader accepts the file.
bool compute_file_peaks(const std::u16string& path, std::vector<PeakPair>& out,
                        const std::atomic<bool>* cancel = nullptr,
                        const std::function<void(const std::vector<PeakPair>& fresh)>& arrived = {});
