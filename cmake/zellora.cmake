# Build rules shared by every folder.
#
# File names decide where a file belongs, so no list is kept by hand:
#   foo.cpp            portable, both builds
#   foo_win.cpp        Windows build only
#   foo_posix.cpp      native build only
#   foo_test.cpp       a test (foo_win_test.cpp / foo_posix_test.cpp likewise per build)
#   foo_test.rc        resources of the tests (Windows build)
#   foo_bench.cpp      a benchmark (native)
#   foo_fuzz.cpp       a libFuzzer target (native, clang); its seed inputs in foo_fuzz_corpus/

set(ZELLORA_WARNINGS -Wall -Wextra -Wshadow -Wformat=2 -Wimplicit-fallthrough)
if(ZELLORA_WERROR)
  list(APPEND ZELLORA_WARNINGS -Werror)
endif()

# Narrow literals are Shift_JIS in every build; sources are UTF-8.
set(ZELLORA_CHARSET_FLAGS -finput-charset=UTF-8 -fexec-charset=CP932)
set(ZELLORA_CP932_REWRITE OFF)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # clang has no execution character set but UTF-8. So that the clang (fuzz) build compiles the
  # same bytes as the shipped program, it compiles copies of the sources whose narrow literals spell
  # their code page 932 bytes as octal escapes (cmake/cp932_literals.py, zellora_cp932_redirect).
  set(ZELLORA_CHARSET_FLAGS -finput-charset=UTF-8)
  set(ZELLORA_CP932_REWRITE ON)
endif()

# The folders that hold the project's own sources.
set(ZELLORA_CODE_DIRS support ticker companion catalogue installer tools tests)

add_library(zellora_flags INTERFACE)
target_compile_options(zellora_flags INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:${ZELLORA_WARNINGS} ${ZELLORA_CHARSET_FLAGS}>)
if(ZELLORA_CP932_REWRITE)
  # Every header and source of the code folders, mirrored into the build tree with its literals
  # rewritten. Only the mirror is on the include path: a header that were missing from it would
  # fail the build instead of being compiled with UTF-8 literals.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(ZELLORA_CP932_DIR ${CMAKE_BINARY_DIR}/cp932-src)
  set(ZELLORA_CP932_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/cp932_literals.py)
  set(globs "")
  foreach(d IN LISTS ZELLORA_CODE_DIRS)
    list(APPEND globs ${PROJECT_SOURCE_DIR}/${d}/*.h ${PROJECT_SOURCE_DIR}/${d}/*.cpp)
  endforeach()
  file(GLOB_RECURSE code CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${globs})
  # One run rewrites them all (a Python start costs more than the rewriting); an output whose text
  # stays the same keeps its time (restat), so only what really changed is compiled again. The
  # copies name their sources relative to the build tree, where Ninja runs the compiler: the copies
  # of every clone are then the same bytes, and the compiler cache serves a fresh clone.
  set(ZELLORA_CP932_LIST ${CMAKE_BINARY_DIR}/cp932-src.list)
  list(JOIN code "\n" names)
  file(CONFIGURE OUTPUT ${ZELLORA_CP932_LIST} CONTENT "${names}\n" @ONLY)
  set(mirrored "")
  set(sources "")
  foreach(rel IN LISTS code)
    list(APPEND mirrored ${ZELLORA_CP932_DIR}/${rel})
    list(APPEND sources ${PROJECT_SOURCE_DIR}/${rel})
  endforeach()
  add_custom_command(OUTPUT ${mirrored}
    COMMAND ${Python3_EXECUTABLE} ${ZELLORA_CP932_SCRIPT} --line-base ${CMAKE_BINARY_DIR}
            --tree ${PROJECT_SOURCE_DIR} ${ZELLORA_CP932_DIR} ${ZELLORA_CP932_LIST}
    DEPENDS ${sources} ${ZELLORA_CP932_SCRIPT} ${ZELLORA_CP932_LIST}
    COMMENT "Code page 932 literals: ${ZELLORA_CP932_DIR}" VERBATIM)
  set(ZELLORA_CP932_CODE ${code})
  add_custom_target(zellora_cp932_sources DEPENDS ${mirrored})
  # Followed transitively: everything that uses zellora_flags compiles after the mirror is complete.
  add_dependencies(zellora_flags zellora_cp932_sources)
  target_include_directories(zellora_flags INTERFACE ${ZELLORA_CP932_DIR})
else()
  target_include_directories(zellora_flags INTERFACE ${PROJECT_SOURCE_DIR})
endif()
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

# zellora_manifest(<target> <dpi> [<name>]): embeds the programs' manifest (made from
# support/win/program.manifest.in: Windows 7 to 11, Common Controls 6, asInvoker) with the DPI
# declaration <dpi>. <name> (default: the target) names the manifest; targets that give the same
# name share one file.
#   PER_MONITOR  per-monitor aware: v2 from Windows 10 1703, v1 on 8.1 and the first 10s, system
#                aware before; the program scales its own fixed sizes (support/win/dpi.h)
#   GDI_SCALED   DPI unaware: the system stretches the windows, and from Windows 10 1703 on draws
#                their GDI text and lines at the monitor's resolution
function(zellora_manifest target dpi)
  if(NOT ZELLORA_WINDOWS)
    return()
  endif()
  set(name ${target})
  if(ARGC GREATER 2)
    set(name ${ARGV2})
  endif()
  set(settings2005 "http://schemas.microsoft.com/SMI/2005/WindowsSettings")
  set(settings2016 "http://schemas.microsoft.com/SMI/2016/WindowsSettings")
  set(settings2017 "http://schemas.microsoft.com/SMI/2017/WindowsSettings")
  if(dpi STREQUAL "PER_MONITOR")
    set(ZELLORA_MANIFEST_DPI "      <dpiAware xmlns=\"${settings2005}\">true/pm</dpiAware>\n      <dpiAwareness xmlns=\"${settings2016}\">PerMonitorV2, PerMonitor</dpiAwareness>")
  elseif(dpi STREQUAL "GDI_SCALED")
    set(ZELLORA_MANIFEST_DPI "      <dpiAware xmlns=\"${settings2005}\">false</dpiAware>\n      <gdiScaling xmlns=\"${settings2017}\">true</gdiScaling>")
  else()
    message(FATAL_ERROR "zellora_manifest: unknown DPI declaration ${dpi}")
  endif()
  set(ZELLORA_MANIFEST_NAME ${name})
  set(dir ${CMAKE_BINARY_DIR}/manifests)
  configure_file(${PROJECT_SOURCE_DIR}/support/win/program.manifest.in ${dir}/${name}.manifest @ONLY)
  # 1 = CREATEPROCESS_MANIFEST_RESOURCE_ID, 24 = RT_MANIFEST.
  file(CONFIGURE OUTPUT ${dir}/${name}.manifest.rc CONTENT "1 24 \"${dir}/${name}.manifest\"\n" @ONLY)
  set_source_files_properties(${dir}/${name}.manifest.rc PROPERTIES OBJECT_DEPENDS ${dir}/${name}.manifest)
  target_sources(${target} PRIVATE ${dir}/${name}.manifest.rc)
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
    # The test programs run as the ticker does: per-monitor DPI aware, Common Controls 6.
    zellora_manifest(${name} PER_MONITOR tests)
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

# zellora_cp932_redirect(): in the clang build, every target compiles the rewritten copy of each of
# the project's sources instead of the file itself. Called once, after every folder has made its
# targets, so that no target (nor a helper's add_executable) is missed.
function(zellora_cp932_redirect)
  if(NOT ZELLORA_CP932_REWRITE)
    return()
  endif()
  set(dirs ${PROJECT_SOURCE_DIR})
  set(seen 0)
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t IN LISTS targets)
      get_target_property(type ${t} TYPE)
      if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
        continue()
      endif()
      get_target_property(sources ${t} SOURCES)
      if(NOT sources)
        continue()
      endif()
      get_target_property(source_dir ${t} SOURCE_DIR)
      set(mapped "")
      foreach(s IN LISTS sources)
        get_filename_component(abs ${s} ABSOLUTE BASE_DIR ${source_dir})
        file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${abs})
        if(rel MATCHES "\\.cpp$" AND rel IN_LIST ZELLORA_CP932_CODE)
          list(APPEND mapped ${ZELLORA_CP932_DIR}/${rel})
          math(EXPR seen "${seen} + 1")
        else()
          list(APPEND mapped ${s})
        endif()
      endforeach()
      set_property(TARGET ${t} PROPERTY SOURCES ${mapped})
    endforeach()
  endwhile()
  message(STATUS "Code page 932 literals: ${seen} sources compiled from ${ZELLORA_CP932_DIR}")
endfunction()
