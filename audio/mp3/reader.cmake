# The reading side of MP3: frame splitter, libmad decoder node and ID3 tag reading. Included from
# audio/mp3/CMakeLists.txt (and from audio/readers/ when that is processed first).
pkg_check_modules(MAD REQUIRED IMPORTED_TARGET mad)

add_library(quillon_audio_mp3_reader STATIC
  ${CMAKE_CURRENT_LIST_DIR}/mp3_frame_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_reader_mp3.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mp3_decoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mp3_stream_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/id3_reader.cpp
)
target_link_libraries(quillon_audio_mp3_reader PUBLIC quillon_audio_reader_core quillon_audio PRIVATE PkgConfig::MAD)
