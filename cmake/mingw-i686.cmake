# Cross build of the 32-bit Windows DLL (kwsig_32.dll) with mingw-w64 for i686.
#   cmake -S . -B build-win32 --toolchain cmake/mingw-i686.cmake
# or the preset "mingw-i686" (CMakePresets.json).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KWSIG_MINGW_PREFIX i686-w64-mingw32 CACHE STRING "Target triplet of the mingw-w64 tools")
set(CMAKE_C_COMPILER ${KWSIG_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${KWSIG_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${KWSIG_MINGW_PREFIX}-windres)
find_program(KWSIG_DLLTOOL ${KWSIG_MINGW_PREFIX}-dlltool REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${KWSIG_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under wine when CTest or a script starts them.
find_program(KWSIG_WINE wine)
if(KWSIG_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KWSIG_WINE})
endif()
