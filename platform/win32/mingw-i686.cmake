# Cross build of the 32-bit Windows console program with mingw-w64:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=platform/win32/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CORVANTA_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${CORVANTA_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${CORVANTA_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${CORVANTA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVANTA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# One self-contained .exe: no libgcc, libstdc++ or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
