# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix flavour, for std::thread and
# friends). Linked statically, so the programs need no DLL of ours nor the compiler's runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries and packages of the target come from the mingw sysroot only; programs run here.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests of the cross build run under wine, in a prefix of the build folder's own (made by the
# first test build; WINEPREFIX chooses another) and without wine's debugging chatter.
find_program(RAILGRACE_WINE NAMES wine wine64 REQUIRED)
if(DEFINED ENV{WINEPREFIX})
    set(RAILGRACE_WINE_PREFIX $ENV{WINEPREFIX})
else()
    set(RAILGRACE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${RAILGRACE_WINE_PREFIX} WINEDEBUG=-all
                                  ${RAILGRACE_WINE})
