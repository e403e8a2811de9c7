# Cross build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686-posix):
#   cmake -S . -B build-windows-x86 --toolchain cmake/mingw-w64-i686.cmake
# The posix flavour brings std::thread and std::mutex; everything is linked statically, so the
# executable needs no DLL beyond those every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(LODESTOW_MINGW_TRIPLET i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${LODESTOW_MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${LODESTOW_MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${LODESTOW_MINGW_TRIPLET}-windres REQUIRED)

# Libraries and headers come from the MinGW tree only, never from the host; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${LODESTOW_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under 32-bit Wine (Debian's wine32:i386 installs its loader outside PATH).
find_program(LODESTOW_WINE NAMES wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(LODESTOW_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${LODESTOW_WINE})
endif()
