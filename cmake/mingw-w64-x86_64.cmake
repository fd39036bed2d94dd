# Cross-compiling for Windows with Debian's MinGW-w64 (x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NIMBORA_MINGW x86_64-w64-mingw32)
# The POSIX thread model: GoogleTest needs std::mutex, which the win32
# model's library lacks. Programs link statically, so no DLL comes with it.
set(CMAKE_C_COMPILER ${NIMBORA_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NIMBORA_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${NIMBORA_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NIMBORA_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
