# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with Debian's MinGW-w64 (the windows preset).
#
# The -posix compilers are named on purpose: Debian installs a -win32 variant
# beside them whose libstdc++ (GCC 12) has no std::thread or std::mutex, and
# installing it moves the unsuffixed x86_64-w64-mingw32-g++ over to it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSALINE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSALINE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSALINE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSALINE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSALINE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine (ctest, and add_test with a target's name).
find_program(TESSALINE_WINE wine)
if(TESSALINE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSALINE_WINE})
endif()
