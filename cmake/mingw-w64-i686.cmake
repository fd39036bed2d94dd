# The 32-bit Windows build: pointers and record sizes as on the panel.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(NIMBORA_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
