# The Windows CE 6.0 build for the panel: 32-bit x86 code, linked
# freestanding against coredll.dll alone (src/platform/win32/ce/). The
# MinGW run-time and the C++ run-time are left out: the program needs
# neither exceptions nor static constructors, and the device's C run-time
# lives in coredll.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(NIMBORA_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

set(NIMBORA_WINDOWS_CE ON)
# Without a run-time a test program cannot link, so CMake's compiler checks
# stop at the object.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(NIMBORA_CE_COMPILE_OPTIONS -D_WIN32_WCE=0x600 -fno-threadsafe-statics
    -fno-asynchronous-unwind-tables -fno-stack-protector)
# -lgcc for __chkstk_ms (frames over a page) and 64-bit division.
set(NIMBORA_CE_LINK_OPTIONS -nostdlib -nostartfiles -Wl,-e,_WinMainCRTStartup@16
    -Wl,--subsystem,wince:6.0 -Wl,--major-os-version,6 -Wl,--minor-os-version,0)
# No Windows libraries by default: a CE program names coredll alone, and the
# desktop helpers of the Wine tests get theirs from the compiler driver.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "Libraries every C program links")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "Libraries every C++ program links")
