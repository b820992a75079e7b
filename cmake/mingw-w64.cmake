# Cross-builds Windows x64 programs with Debian's mingw-w64 and runs them
# (tests, test discovery) under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
# The "-posix" compilers: std::thread and std::mutex need their thread model.
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The .exe files carry their runtime, so none needs a DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# wine64 is not on the PATH in Debian.
find_program(WFDESK_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT WFDESK_WINE)
  find_program(WFDESK_WINE wine64)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${WFDESK_WINE})
