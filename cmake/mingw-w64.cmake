# Cross-compiling for Windows with Debian's MinGW-w64; the including
# toolchain file sets NIMBORA_MINGW (the target triple) and the processor.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model: GoogleTest needs std::mutex, which the win32
# model's library lacks. Programs link statically, so no DLL comes with it.
set(CMAKE_C_COMPILER ${NIMBORA_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NIMBORA_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${NIMBORA_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NIMBORA_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
