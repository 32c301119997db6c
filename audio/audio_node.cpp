#include "audio/audio_node.h"

AudioConsumer::~AudioConsumer() = default;

AudioPort::~AudioPort() = default;

AudioConsumer* AudioPort::downstream() const {
    std::lock_guard link(m_link_lock);
    return m_downstream;
}

void connect(AudioPort& port, AudioConsumer* consumer) {
    std::lock_guard link(port.m_link_lock);
    if (AudioConsumer* old = port.m_downstream) {
        std::lock_guard guard(old->m_lock);
        old->m_upstream = nullptr;
        port.m_downstream = nullptr;
    }
    if (consumer != nullptr) {
        std::lock_guard guard(consumer->m_lock);
        consumer->m_upstream = &port;
        port.m_downstream = consumer;
    }
}

void feed(AudioPort& port, const AudioBlock& block) {
    std::lock_guard link(port.m_link_lock);
    AudioConsumer* consumer = port.m_downstream;
    if (consumer == nullptr) return;
    std::lock_guard guard(consumer->lock());
    consumer->on_data(block);
}

AudioBlock pull(AudioConsumer& consumer, int requested_frames) {
    std::lock_guard guard(consumer.lock());
    AudioPort* port = consumer.upstream();
    if (port == nullptr) return AudioBlock();
    return port->get_data(requested_frames);
}

AudioFilter::~AudioFilter() = default;

void AudioFilter::on_data(const AudioBlock& block) {
    std::lock_guard guard(lock());
    AudioBlock out = transform(block);
    feed(*this, out);
}

AudioBlock AudioFilter::get_data(int requested_frames) {
    std::lock_guard guard(lock());
    AudioBlock in = pull(*this, requested_frames);
    return transform(in);
}
