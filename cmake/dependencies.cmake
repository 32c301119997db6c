# Every outside library and program the build uses, looked up once here and used everywhere by the
# target named beside it. tools/install-deps.sh installs the Debian packages that provide them.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)                                     # Threads::Threads

# Libraries found through pkg-config: PkgConfig::<NAME>.
pkg_check_modules(ICU_UC REQUIRED IMPORTED_TARGET GLOBAL icu-uc)   # text, case folding
pkg_check_modules(ICU_I18N REQUIRED IMPORTED_TARGET GLOBAL icu-i18n) # dates in the user's language
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET GLOBAL sqlite3) # the registry, the record cache
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET GLOBAL gio-2.0)     # D-Bus (GDBus), GSettings
pkg_check_modules(GIO_UNIX REQUIRED IMPORTED_TARGET GLOBAL gio-unix-2.0) # file descriptors over D-Bus
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET GLOBAL sdl2)       # the window, sound in and out
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET GLOBAL libpulse)  # call audio through the sound server
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET GLOBAL freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET GLOBAL fontconfig)
pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET GLOBAL libpng)
pkg_check_modules(SOUNDTOUCH REQUIRED IMPORTED_TARGET GLOBAL soundtouch) # speed with the pitch kept
pkg_check_modules(MAD REQUIRED IMPORTED_TARGET GLOBAL mad)         # MP3 decoding
pkg_check_modules(TREMOR REQUIRED IMPORTED_TARGET GLOBAL vorbisidec) # Ogg Vorbis decoding
pkg_check_modules(TAGLIB REQUIRED IMPORTED_TARGET GLOBAL taglib)   # tags of other programs' files
# Xlib tells whether a window manager runs; without it the window assumes one does.
pkg_check_modules(X11 IMPORTED_TARGET GLOBAL x11)

# Libraries without a pkg-config file: <Name>::<Name>.
function(quillon_import_library target library)
  string(TOUPPER ${library} variable)
  find_library(${variable}_LIBRARY ${library} REQUIRED)
  add_library(${target} UNKNOWN IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${${variable}_LIBRARY})
endfunction()
quillon_import_library(Lame::Lame mp3lame)                         # MP3 encoding
quillon_import_library(GSM::GSM gsm)                               # GSM 6.10 in WAV
quillon_import_library(MPCDec::MPCDec mpcdec)                      # Musepack decoding
find_path(MPCDEC_INCLUDE_DIR mpc/mpcdec.h REQUIRED)
set_target_properties(MPCDec::MPCDec PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${MPCDEC_INCLUDE_DIR})

# Programs that make the data files.
find_package(Python3 REQUIRED COMPONENTS Interpreter)              # ${Python3_EXECUTABLE}
find_program(QUILLON_RSVG_CONVERT rsvg-convert REQUIRED)           # pictures from SVG
find_program(QUILLON_GZIP gzip REQUIRED)                           # manual pages

if(QUILLON_TESTS)
  find_package(GTest REQUIRED GLOBAL)                              # GTest::gtest, GTest::gmock
  if(NOT X11_FOUND)
    message(FATAL_ERROR "The tests need Xlib (x11) to drive the program's window")
  endif()
endif()
if(QUILLON_BENCH)
  find_package(benchmark REQUIRED GLOBAL)                          # benchmark::benchmark
endif()
