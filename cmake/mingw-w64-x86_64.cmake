# Cross-builds the Windows program on Debian with MinGW-w64
# (apt-get install g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KLAVEDO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KLAVEDO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KLAVEDO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KLAVEDO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KLAVEDO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A clean Windows has no libstdc++ or libgcc DLLs: the exe must carry them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
