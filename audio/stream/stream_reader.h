#pragma once
// A stream reader is the source of a playback chain: a pull port for the player (or the decoder
// node in front of it) and the StreamInfo queries for the document and the playback screen.
#include "audio/audio_node.h"
#include "audio/stream/stream_info.h"

class StreamReader : public AudioPort, public StreamInfo {};
