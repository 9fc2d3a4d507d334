# Cross build for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model, which std::thread and GoogleTest need):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DVELT_GUI=OFF -DVELT_BENCH=OFF
# Programs link statically, so every .exe runs alone; ctest runs them through
# wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the programs through wine, in a prefix of our own beside the
# build (the user's stays untouched), without its debug chatter and without
# the .NET and HTML engines that console programs never need. No X display is
# needed for console programs.
find_program(VELT_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(VELT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all
      "WINEDLLOVERRIDES=mscoree,mshtml=" ${VELT_WINE})
endif()
