# SPDX-License-Identifier: MIT
# One options target that every library, program and test links: language level,
# the warning set, Windows' version and macros, and the sanitizers when asked for.
add_library(quvo_options INTERFACE)
add_library(quvo::options ALIAS quvo_options)

target_compile_features(quvo_options INTERFACE cxx_std_20)
# Headers are included by layer: "runtime/clock.h", "bench/measurement_run.h".
target_include_directories(quvo_options INTERFACE ${PROJECT_SOURCE_DIR})

if(MSVC)
  target_compile_options(quvo_options INTERFACE /W4 /utf-8 $<$<BOOL:${QUVO_WARNINGS_AS_ERRORS}>:/WX>)
else()
  target_compile_options(quvo_options INTERFACE -Wall -Wextra -Wpedantic
    $<$<BOOL:${QUVO_WARNINGS_AS_ERRORS}>:-Werror>)
endif()

if(QUVO_SANITIZE)
  set(quvo_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(quvo_options INTERFACE ${quvo_sanitizers})
  target_link_options(quvo_options INTERFACE ${quvo_sanitizers})
endif()

# Coverage feedback for the fuzzers reaches into every library they link.
if(QUVO_BUILD_FUZZERS)
  target_compile_options(quvo_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# On Windows, every translation unit sees one system version and the standard library's
# std::min and std::max rather than windows.h's macros: Windows 10 is the oldest system
# the programs are built for (per-monitor dpi, AdjustWindowRectExForDpi).
if(WIN32)
  target_compile_definitions(quvo_options INTERFACE NOMINMAX _WIN32_WINNT=0x0A00)
endif()

# A Windows program is one file: the compiler's runtime goes into it, not beside it
# (the cross toolchain links statically too).
if(MSVC)
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
elseif(MINGW)
  target_link_options(quvo_options INTERFACE -static)
endif()
