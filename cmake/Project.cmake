# Shared compile settings and the small helpers every folder uses.

set(QUORRIN_WARNINGS -Wall -Wextra)
add_compile_options(${QUORRIN_WARNINGS})

if(QUORRIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The test build links some hundred programs against the same libraries; the platform layer alone
# (the rasteriser's span loops, instrumented) is hundreds of megabytes. Shared libraries keep one
# copy of each on disk. The release build stays static: the game is shipped as one program.
option(QUORRIN_SHARED_LIBS "Build the project's libraries as shared libraries" ${QUORRIN_SANITIZE})
if(QUORRIN_SHARED_LIBS)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  set(quorrin_library_kind SHARED)
else()
  set(quorrin_library_kind STATIC)
endif()

set(QUORRIN_LIBFUZZER OFF)
if(QUORRIN_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(QUORRIN_LIBFUZZER ON)
endif()

# libFuzzer is guided by the coverage of the code it reaches, and the parsers live in the
# libraries: quorrin_fuzz_coverage(library) instruments one for it. The sanitizer runtimes supply
# the coverage callbacks to the programs that are not fuzzers.
function(quorrin_fuzz_coverage target)
  if(QUORRIN_LIBFUZZER AND QUORRIN_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# quorrin_library(name DIRS dir... [SOURCES file...] [EXCLUDE file...] [DEPS ...]): a library
# (static, or shared with QUORRIN_SHARED_LIBS) of every source in the folders, with the extra
# files and without the excluded ones.
function(quorrin_library name)
  cmake_parse_arguments(Q "" "" "DIRS;SOURCES;EXCLUDE;DEPS;PRIVATE_DEPS" ${ARGN})
  set(srcs ${Q_SOURCES})
  foreach(d ${Q_DIRS})
    file(GLOB s CONFIGURE_DEPENDS ${d}/*.cpp)
    list(APPEND srcs ${s})
  endforeach()
  if(Q_EXCLUDE)
    list(REMOVE_ITEM srcs ${Q_EXCLUDE})
  endif()
  if(NOT srcs)
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${stub} "// ${name} has no sources yet.\n")
    set(srcs ${stub})
  endif()
  add_library(${name} ${quorrin_library_kind} ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${Q_DEPS} PRIVATE ${Q_PRIVATE_DEPS})
endfunction()

# quorrin_test(name LABELS ... SOURCES ... DEPS ...): one GoogleTest program registered with CTest.
function(quorrin_test name)
  cmake_parse_arguments(Q "" "TIMEOUT" "LABELS;SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${Q_SOURCES})
  target_link_libraries(${name} PRIVATE ${Q_DEPS} test_support GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT Q_TIMEOUT)
    set(Q_TIMEOUT 300)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES TIMEOUT ${Q_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
  # The labels go on once the discovered tests are known: passed through the discovery, a list of
  # several would lose all but the first.
  set(labels_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${labels_file}
    "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${Q_LABELS}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_file})
endfunction()

# quorrin_demo_test(name DEMO target LABELS ... ARGS ...): runs a demo headless with ARGS on its
# own copy of the sample installation, never in the shared one (demos write logs where they run).
function(quorrin_demo_test name)
  cmake_parse_arguments(Q "" "DEMO" "LABELS;ARGS" ${ARGN})
  string(REPLACE ";" "\\;" args "${Q_ARGS}")
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -DDEMO=$<TARGET_FILE:${Q_DEMO}> -DINSTALL=${QUORRIN_INSTALL_DIR}
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/${name}_install "-DARGS=${args}"
            -P ${PROJECT_SOURCE_DIR}/tests/support/demo_in_copy.cmake)
  set_tests_properties(${name} PROPERTIES LABELS "${Q_LABELS}" TIMEOUT 300)
endfunction()

# quorrin_fuzz(name SOURCES ... DEPS ...): a libFuzzer program (clang) and always a replay program.
function(quorrin_fuzz name)
  cmake_parse_arguments(Q "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name}_replay ${Q_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_link_libraries(${name}_replay PRIVATE ${Q_DEPS})
  if(QUORRIN_LIBFUZZER)
    add_executable(${name} ${Q_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${Q_DEPS})
  endif()
  set(seeds ${PROJECT_SOURCE_DIR}/fuzz/seeds/${name})
  if(QUORRIN_TESTS AND EXISTS ${seeds})
    add_test(NAME ${name}_seeds COMMAND ${name}_replay ${seeds})
    set_tests_properties(${name}_seeds PROPERTIES LABELS "fuzz")
  endif()
endfunction()
