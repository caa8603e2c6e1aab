# Cross build for Windows x86-64 with mingw-w64 (POSIX thread model): the
# toolchain that the Windows package gives plugin vendors, and test
# executables that run under Wine through the emulator wrapper.
include("${CMAKE_CURRENT_LIST_DIR}/../samples/mingw-w64-x86_64.cmake")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh")
