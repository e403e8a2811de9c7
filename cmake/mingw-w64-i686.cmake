# Cross build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686-posix):
#   cmake -S . -B build-windows-x86 --toolchain cmake/mingw-w64-i686.cmake
# The posix flavour brings std::thread and std::mutex; everything is linked statically, so the
# executable needs no DLL beyond those every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(LODESTOW_MINGW_TRIPLET i686-w64-mingw32)
set(LODESTOW_MINGW_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
