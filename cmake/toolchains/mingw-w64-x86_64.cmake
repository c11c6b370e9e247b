# SPDX-License-Identifier: MIT
# Cross builds for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
# The posix thread model is the one whose libstdc++ has std::thread and std::mutex;
# programs link statically, so that a built .exe runs as one file, under Wine as on
# Windows. Tests run under Wine (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(quvo_mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${quvo_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${quvo_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${quvo_mingw_triple}-windres)

# Headers and libraries of the target come from the cross tree only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${quvo_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libstdc++, libgcc or winpthread DLLs to ship beside the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

find_program(QUVO_WINE NAMES wine wine64 wine-stable)
if(QUVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUVO_WINE})
endif()
