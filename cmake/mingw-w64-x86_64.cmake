# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
# The posix flavour brings std::thread and std::mutex; everything is linked statically, so the
# executable needs no DLL beyond those every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LODESTOW_MINGW_TRIPLET x86_64-w64-mingw32)
set(LODESTOW_MINGW_WINE wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
