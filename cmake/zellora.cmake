# Build rules shared by every folder.
#
# File names decide where a file belongs, so no list is kept by hand:
#   foo.cpp            portable, both builds
#   foo_win.cpp        Windows build only
#   foo_posix.cpp      native build only
#   foo_test.cpp       a test (foo_win_test.cpp / foo_posix_test.cpp likewise per build)
#   foo_test.rc        resources of the tests (Windows build)
#   foo_bench.cpp      a benchmark (native)
#   foo_fuzz.cpp       a libFuzzer target (native, clang)

set(ZELLORA_WARNINGS -Wall -Wextra -Wshadow -Wformat=2 -Wimplicit-fallthrough)
if(ZELLORA_WERROR)
  list(APPEND ZELLORA_WARNINGS -Werror)
endif()

# Narrow literals are Shift_JIS in both builds; sources are UTF-8.
set(ZELLORA_CHARSET_FLAGS -finput-charset=UTF-8 -fexec-charset=CP932)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # clang has no execution character set but UTF-8, so its literals stay UTF-8. Only the fuzz build
  # uses clang; it hunts memory errors, not wrong texts, and builds no unit tests.
  set(ZELLORA_CHARSET_FLAGS -finput-charset=UTF-8)
endif()

add_library(zellora_flags INTERFACE)
target_compile_options(zellora_flags INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:${ZELLORA_WARNINGS} ${ZELLORA_CHARSET_FLAGS}>)
target_include_directories(zellora_flags INTERFACE ${PROJECT_SOURCE_DIR})
if(ZELLORA_WINDOWS)
  # ANSI ("A") APIs throughout: no UNICODE.
  target_compile_definitions(zellora_flags INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)
  target_compile_definitions(zellora_flags INTERFACE ZELLORA_WINDOWS=1)
else()
  target_compile_definitions(zellora_flags INTERFACE ZELLORA_POSIX=1)
  if(ZELLORA_FUZZ)
    # Every library is instrumented for coverage; the fuzzer executables link libFuzzer itself.
    target_compile_options(zellora_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                   -fno-omit-frame-pointer)
    target_link_options(zellora_flags INTERFACE -fsanitize=address,undefined)
  elseif(ZELLORA_SANITIZE)
    target_compile_options(zellora_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                   -fno-sanitize-recover=undefined)
    target_link_options(zellora_flags INTERFACE -fsanitize=address,undefined)
  endif()
endif()

# zellora_glob(<out> <dir> <kind>) with kind = SOURCES | TESTS | BENCH | FUZZ
function(zellora_glob out dir kind)
  if(kind STREQUAL "SOURCES")
    file(GLOB files CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(FILTER files EXCLUDE REGEX "_(test|bench|fuzz)\\.cpp$")
  elseif(kind STREQUAL "TESTS")
    file(GLOB files CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  elseif(kind STREQUAL "BENCH")
    file(GLOB files CONFIGURE_DEPENDS ${dir}/*_bench.cpp)
  elseif(kind STREQUAL "FUZZ")
    file(GLOB files CONFIGURE_DEPENDS ${dir}/*_fuzz.cpp)
  endif()
  if(ZELLORA_WINDOWS)
    list(FILTER files EXCLUDE REGEX "_posix(_[a-z]+)?\\.cpp$")
  else()
    list(FILTER files EXCLUDE REGEX "_win(_[a-z]+)?\\.cpp$")
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# zellora_tests(<name> DIRS <dir>... LIBS <lib>... [EXCLUDE <regex>] [PROPERTIES <prop> <value>...])
# One test executable per module; every TEST() in it becomes a ctest test. EXCLUDE leaves out the
# test files whose path matches (they go into an executable of their own); PROPERTIES are added to
# every test of the executable (e.g. RESOURCE_LOCK for suites that share the Wine desktop).
function(zellora_tests name)
  cmake_parse_arguments(ARG "" "EXCLUDE" "DIRS;LIBS;SOURCES;PROPERTIES" ${ARGN})
  set(all ${ARG_SOURCES})
  foreach(d IN LISTS ARG_DIRS)
    zellora_glob(t ${d} TESTS)
    if(ARG_EXCLUDE)
      list(FILTER t EXCLUDE REGEX "${ARG_EXCLUDE}")
    endif()
    list(APPEND all ${t})
    if(ZELLORA_WINDOWS)
      # Resources that only the tests use (test dialogs): foo_test.rc.
      file(GLOB rc CONFIGURE_DEPENDS ${d}/*_test.rc)
      list(APPEND all ${rc})
    endif()
  endforeach()
  if(NOT all)
    return()
  endif()
  add_executable(${name} ${all})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zellora_testlib GTest::gtest GTest::gmock zellora_flags)
  if(ZELLORA_WINDOWS)
    # Console subsystem so that the test output reaches ctest.
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 300 LABELS ${name} ${ARG_PROPERTIES})
endfunction()

# zellora_library(<name> DIRS <dir>... [LIBS <lib>...])
# A static library of the portable and platform files of the given folders.
function(zellora_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;LIBS" ${ARGN})
  set(all "")
  foreach(d IN LISTS ARG_DIRS)
    zellora_glob(s ${d} SOURCES)
    list(APPEND all ${s})
  endforeach()
  if(all)
    add_library(${name} STATIC ${all})
    target_link_libraries(${name} PUBLIC zellora_flags ${ARG_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE zellora_flags ${ARG_LIBS})
  endif()
endfunction()

# zellora_benchmarks(<name> DIRS <dir>... LIBS <lib>...): one Google Benchmark executable (native).
function(zellora_benchmarks name)
  cmake_parse_arguments(ARG "" "" "DIRS;LIBS" ${ARGN})
  if(ZELLORA_WINDOWS OR NOT ZELLORA_BENCHMARKS)
    return()
  endif()
  set(all "")
  foreach(d IN LISTS ARG_DIRS)
    zellora_glob(s ${d} BENCH)
    list(APPEND all ${s})
  endforeach()
  if(NOT all)
    return()
  endif()
  find_package(benchmark REQUIRED)
  add_executable(${name} ${all})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main zellora_flags)
  target_compile_definitions(${name} PRIVATE ZELLORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endfunction()

# zellora_fuzzers(<name> DIRS <dir>... LIBS <lib>...): one libFuzzer executable per *_fuzz.cpp
# (named after the file), built only with ZELLORA_FUZZ (native, clang); <name> builds them all.
function(zellora_fuzzers name)
  cmake_parse_arguments(ARG "" "" "DIRS;LIBS" ${ARGN})
  if(ZELLORA_WINDOWS OR NOT ZELLORA_FUZZ)
    return()
  endif()
  set(targets "")
  foreach(d IN LISTS ARG_DIRS)
    zellora_glob(files ${d} FUZZ)
    foreach(f IN LISTS files)
      get_filename_component(n ${f} NAME_WE)
      add_executable(${n} ${f})
      target_link_libraries(${n} PRIVATE ${ARG_LIBS} zellora_flags)
      target_compile_options(${n} PRIVATE -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
      target_link_options(${n} PRIVATE -fsanitize=fuzzer,address,undefined)
      list(APPEND targets ${n})
    endforeach()
  endforeach()
  if(targets)
    add_custom_target(${name} DEPENDS ${targets})
  endif()
endfunction()
