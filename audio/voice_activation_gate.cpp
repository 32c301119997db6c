#include "audio/voice_activation_gate.h"

#include <mutex>

#include "audio/duration_filter.h"
#include "audio/level_filter.h"
#include "os/log.h"

namespace {
double seconds_of(const AudioBlock& block) {
    return block.rate() > 0 ? static_cast<double>(block.frames()) / block.rate() : 0.0;
}
}  // namespace

void PreRoll::on_data(const AudioBlock& block) {
    std::lock_guard guard(lock());
    if (block.is_empty()) return;
    m_blocks.push_back(block);
    m_held_seconds += seconds_of(block);
    while (m_blocks.size() > 1 && m_held_seconds - seconds_of(m_blocks.front()) >= m_seconds) {
        m_held_seconds -= seconds_of(m_blocks.front());
        m_blocks.pop_front();
    }
}

std::vector<AudioBlock> PreRoll::take() {
    std::lock_guard guard(lock());
    std::vector<AudioBlock> blocks(m_blocks.begin(), m_blocks.end());
    m_blocks.clear();
    m_held_seconds = 0.0;
    return blocks;
}

double PreRoll::held_seconds() {
    std::lock_guard guard(lock());
    return m_held_seconds;
}

VoiceActivationGate::~VoiceActivationGate() {
    if (m_level.downstream() == &m_pre_roll) connect(m_level, nullptr);
}

void VoiceActivationGate::tick() {
    if (m_level.is_silent()) {
        os::log() << u"record_levels silence\n";
        if (is_linked()) close();
    } else if (!is_linked()) {
        open();
    }
}

void VoiceActivationGate::link() {
    m_pre_roll.take();
    connect(m_level, &m_duration);
}

void VoiceActivationGate::unlink() {
    connect(m_level, nullptr);
    m_pre_roll.take();
}

bool VoiceActivationGate::is_linked() const { return m_level.downstream() == &m_duration; }

void VoiceActivationGate::close() {
    m_pre_roll.take();
    connect(m_level, &m_pre_roll);
}

void VoiceActivationGate::open() {
    // Holding the level node's lock keeps the recorder's thread out of it, so the held blocks go
    // first and nothing slips past them. Locks are still taken in chain order: level, then the
    // nodes after it.
    std::lock_guard guard(m_level.lock());
    const std::vector<AudioBlock> held = m_pre_roll.take();
    connect(m_level, &m_duration);
    for (const AudioBlock& block : held) feed(m_level, block);
}
