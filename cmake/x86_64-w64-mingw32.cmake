# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix-threads compilers, which
# GoogleTest's std::mutex needs). Libraries and headers are looked up only under the
# cross-built dependencies (RK_WINDOWS_DEPS, default build-windows/deps) and the toolchain's own
# folder; programs on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RK_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${RK_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RK_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${RK_MINGW}-windres)
set(CMAKE_AR ${RK_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${RK_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT RK_WINDOWS_DEPS)
  get_filename_component(RK_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build-windows/deps" ABSOLUTE)
endif()
# Passed on to the try_compile projects CMake configures with this file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES RK_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${RK_MINGW} ${RK_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static libraries only: the programs import nothing but the system's DLLs.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# Test programs (and GoogleTest's test listing) run under Wine in the build's private prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
