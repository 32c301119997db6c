# The WAV-family stream readers (PCM, Microsoft ADPCM, GSM 06.10). Included from
# audio/wav/CMakeLists.txt (and from audio/readers/ when that is processed first).
add_library(quillon_audio_wav_reader STATIC
  ${CMAKE_CURRENT_LIST_DIR}/wav_reader_pcm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wav_stream_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wav_sample_conversion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wav_reader_coded.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wav_reader_adpcm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wav_reader_gsm.cpp
)
target_link_libraries(quillon_audio_wav_reader PUBLIC quillon_audio_wav quillon_audio_reader_core quillon_audio)
