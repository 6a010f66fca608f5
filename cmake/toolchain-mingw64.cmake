# Cross-build for 64-bit Windows with Debian's mingw-w64 (POSIX threads), linked statically so that
# the programs need no DLL beside them (kl7view.exe, the window, with -DKL7_BUILD_VIEWER=ON, the
# default). The tests run under wine:
#   cmake -S . -B build-win --toolchain cmake/toolchain-mingw64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KL7_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KL7_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KL7_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KL7_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KL7_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthreads go into each program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest, test discovery and the build's own helpers (the sample libraries) run the programs through
# wine; the project's CMakeLists wraps it so that each build tree has its own wine prefix.
find_program(KL7_WINE wine)
