#!/usr/bin/env bash
# Takes the screenshots the AppStream metainfo names, with the program's own QUILLON_SCREENSHOT:
#     data/metainfo/take-screenshots.sh FOLDER [PROGRAM]
# PROGRAM is the quillon-touch to run (default: the one on the PATH). Each picture comes from a
# fresh root without a window; the recording one from a tone as the microphone, so no sound card
# is needed. Publish FOLDER/*.png under QUILLON_SCREENSHOT_URL.
set -euo pipefail
out="$(realpath "${1:?usage: take-screenshots.sh FOLDER [PROGRAM]}")"
program="${2:-quillon-touch}"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A 440 Hz tone as a 16-bit mono WAV, long enough for the screen to show a level.
python3 - "$work/tone.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(16000)
    w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 440 * i / 16000)))
                           for i in range(16000 * 30)))
PY

shoot() {
    local name="$1"; shift
    local root="$work/$name"
    mkdir -p "$root"
    # The picture is written once per second and at exit; a few seconds see the start-up through.
    QUILLON_ROOT="$root" QUILLON_AUDIO_IN="$work/tone.wav" QUILLON_AUDIO_OUT="$root/speaker.wav" \
        QUILLON_SCREENSHOT="$out/$name.png" "$program" --headless "$@" &
    local pid=$!
    sleep 4
    kill -INT "$pid"
    wait "$pid"
    echo "$out/$name.png"
}

shoot main
shoot recording record
