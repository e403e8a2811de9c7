# What both MinGW-w64 cross builds share; the toolchain file of each sets CMAKE_SYSTEM_PROCESSOR,
# LODESTOW_MINGW_TRIPLET and LODESTOW_MINGW_WINE, then includes this.
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

# Test programs run under Wine (Debian installs its loaders outside PATH unless the wine package is
# there): wine64 for 64-bit programs, wine (from wine32:i386) for 32-bit ones.
find_program(LODESTOW_WINE NAMES ${LODESTOW_MINGW_WINE} PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(LODESTOW_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${LODESTOW_WINE})
endif()
