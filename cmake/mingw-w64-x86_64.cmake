# Cross-compiles the Windows module on Debian with MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The POSIX thread variant, because the win32 one has no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORLAK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORLAK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORLAK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORLAK_MINGW_TRIPLE}-windres)

# Libraries and headers only from the MinGW tree; programs (python3, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VORLAK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
