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

# libxml2 and libxslt: static Windows builds from Debian's own sources, made
# by scripts/build-windows-xml. Their CMake packages carry the link
# dependencies (ws2_32, threads) and LIBXML_STATIC; libxslt's lack the
# matching definitions for a static library.
set(WFDESK_WINDOWS_DEPS ${PROJECT_SOURCE_DIR}/build/windows-deps/prefix
    CACHE PATH "Where scripts/build-windows-xml installs libxml2 and libxslt")
list(APPEND CMAKE_FIND_ROOT_PATH ${WFDESK_WINDOWS_DEPS})
set(CMAKE_FIND_PACKAGE_PREFER_CONFIG ON)
find_package(LibXml2 CONFIG)
find_package(LibXslt CONFIG)
if(TARGET LibXslt::LibXslt)
  set_property(TARGET LibXslt::LibXslt APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS LIBXSLT_STATIC)
  set_property(TARGET LibXslt::LibExslt APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS
                                                        LIBEXSLT_STATIC)
else()
  message(STATUS "No libxml2/libxslt in ${WFDESK_WINDOWS_DEPS} (scripts/build-windows-xml): "
                 "no built-in XSLT engine, converter or connector")
endif()

# cpp-httplib's single header, for the tests' fake portals, under the name
# pkg-config gives Debian's package on Linux.
if(WFDESK_BUILD_TESTS AND EXISTS ${WFDESK_WINDOWS_DEPS}/include/httplib.h)
  add_library(PkgConfig::HTTPLIB INTERFACE IMPORTED GLOBAL)
  target_include_directories(PkgConfig::HTTPLIB SYSTEM INTERFACE ${WFDESK_WINDOWS_DEPS}/include)
  target_link_libraries(PkgConfig::HTTPLIB INTERFACE ws2_32)
endif()

# Qt's base module as shared Windows libraries, made by
# scripts/build-windows-qt; the desk is built only when it is there. Its
# host tools (moc, rcc, uic) are the build machine's own Qt of the same
# version.
set(WFDESK_WINDOWS_QT ${PROJECT_SOURCE_DIR}/build/windows-deps/qt
    CACHE PATH "Where scripts/build-windows-qt installs Qt for Windows")
set(WFDESK_HAVE_WINDOWS_QT OFF)
if(EXISTS ${WFDESK_WINDOWS_QT}/lib/cmake/Qt6/Qt6Config.cmake)
  set(WFDESK_HAVE_WINDOWS_QT ON)
  list(APPEND CMAKE_FIND_ROOT_PATH ${WFDESK_WINDOWS_QT})
  set(QT_HOST_PATH /usr CACHE PATH "The build machine's Qt, for moc, rcc and uic")
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
  set(Qt6_DIR ${WFDESK_WINDOWS_QT}/lib/cmake/Qt6 CACHE PATH "")
endif()

# Puts what a Qt program needs beside it: Qt's libraries, the platform
# plugins, Qt's German texts, the mingw runtime Qt's libraries link to, and
# a qt.conf that points Qt at them. There is no deploy tool for this Qt, so
# the files come from a list.
function(wfdesk_deploy_qt target)
  if(NOT WFDESK_HAVE_WINDOWS_QT)
    return()
  endif()
  set(_files)
  foreach(_lib Core Gui Widgets Test)
    list(APPEND _files ${WFDESK_WINDOWS_QT}/bin/Qt6${_lib}.dll)
  endforeach()
  foreach(_runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_runtime}
                    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
    list(APPEND _files ${_path})
  endforeach()
  set(_dir $<TARGET_FILE_DIR:${target}>)
  set(_platforms ${WFDESK_WINDOWS_QT}/plugins/platforms)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_files} ${_dir}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}/platforms ${_dir}/translations
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_platforms}/qwindows.dll
            ${_platforms}/qoffscreen.dll ${_dir}/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${WFDESK_WINDOWS_QT}/translations/qtbase_de.qm ${_dir}/translations
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/cmake/qt.conf ${_dir}
    VERBATIM)
endfunction()
