# Debian packages its libraries for Linux only. For the Windows build the
# header-only CLI11 is used from /usr/include (alone, so that no Linux
# header comes with it) and GoogleTest is built from its sources.
set(_cli11 ${CMAKE_BINARY_DIR}/cli11-include)
if(NOT EXISTS ${_cli11}/CLI)
  file(MAKE_DIRECTORY ${_cli11})
  file(CREATE_LINK /usr/include/CLI ${_cli11}/CLI SYMBOLIC)
endif()
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${_cli11})

if(WFDESK_BUILD_TESTS)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Defines the GTest:: targets that find_package(GTest) gives on Linux.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
