# A CMake toolchain file for building Windows x86-64 plugins on Linux with
# mingw-w64 (Debian: g++-mingw-w64-x86-64-posix). find_package looks only
# inside the mingw sysroot, so name the package's configuration folder:
#   cmake -S <plugin> -B <build> -DCMAKE_TOOLCHAIN_FILE=<package>/samples/mingw-w64-x86_64.cmake
#         -DOrvelPluginAPI_DIR=<package>/lib/cmake/OrvelPluginAPI
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
