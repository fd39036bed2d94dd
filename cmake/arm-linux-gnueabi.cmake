# The logic and its unit tests for a 32-bit little-endian ARMv5 processor
# (Debian's armel tool chain), run under qemu-arm: the panels' processor
# family. char is signed, as Microsoft's compilers for the panel make it;
# file offsets and inode numbers are 64-bit, as the host's are (a 32-bit
# readdir fails on the host's large inode numbers).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(CMAKE_C_FLAGS_INIT "-march=armv5te -fsigned-char -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-march=armv5te -fsigned-char -D_FILE_OFFSET_BITS=64")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/arm-linux-gnueabi)

set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(NIMBORA_LOGIC_ONLY ON)
