# quillon_add_fuzzer(name SOURCES ... LIBS ... CORPUS folder [OPTIONS libFuzzer flags ...]
#                    [ENVIRONMENT VAR=value ...])
# A libFuzzer program over the kept inputs in CORPUS. Only clang builds it; with gcc the call does
# nothing, so the folder that owns a fuzzer registers it right beside its replay test. Every fuzzer
# is listed in fuzzers.txt in the build tree and built by the target `fuzzers`; tools/fuzz.sh builds
# and runs them all from that list, so moving a folder moves its fuzzer with it.
function(quillon_add_fuzzer name)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    return()
  endif()
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS;OPTIONS;ENVIRONMENT" ${ARGN})
  if(NOT ARG_CORPUS OR NOT IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_CORPUS})
    message(FATAL_ERROR "fuzzer ${name}: its CORPUS folder '${ARG_CORPUS}' does not exist")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  # One line per fuzzer: name|program|corpus|environment|options (spaces separate the list items).
  list(JOIN ARG_ENVIRONMENT " " environment)
  list(JOIN ARG_OPTIONS " " options)
  set_property(GLOBAL APPEND PROPERTY QUILLON_FUZZERS
               "${name}|$<TARGET_FILE:${name}>|${CMAKE_CURRENT_SOURCE_DIR}/${ARG_CORPUS}|${environment}|${options}")
  set_property(GLOBAL APPEND PROPERTY QUILLON_FUZZER_TARGETS ${name})
endfunction()

# Written once every folder has registered its fuzzers; an empty list with gcc.
function(quillon_write_fuzzer_list)
  get_property(fuzzers GLOBAL PROPERTY QUILLON_FUZZERS)
  get_property(targets GLOBAL PROPERTY QUILLON_FUZZER_TARGETS)
  list(JOIN fuzzers "\n" lines)
  if(lines)
    string(APPEND lines "\n")
  endif()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzzers.txt CONTENT "${lines}")
  add_custom_target(fuzzers)
  if(targets)
    add_dependencies(fuzzers ${targets})
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL quillon_write_fuzzer_list)
