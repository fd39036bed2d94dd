# The 64-bit Windows build (desktop Windows and 64-bit Wine).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NIMBORA_MINGW x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
