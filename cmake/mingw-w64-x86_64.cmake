# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 tool chain. The
# posix thread model gives std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVREL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVREL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVREL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVREL_MINGW}-windres)
# Libraries built for Windows elsewhere (wxWidgets, GoogleTest) are given in
# TAVREL_WINDOWS_PREFIXES.
set(CMAKE_FIND_ROOT_PATH /usr/${TAVREL_MINGW} ${TAVREL_WINDOWS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Statically linked, so that the programs run on a bare Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
