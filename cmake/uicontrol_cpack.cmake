# Debian packages: libuicontrol (shared libraries), libuicontrol-dev (everything to build
# against them) and uicontrol-shell (the program). Native packages: their version is the
# project version. Run "cpack -G DEB" in a build configured with CMAKE_INSTALL_PREFIX=/usr.
set(CPACK_PACKAGE_NAME uicontrol)
set(CPACK_PACKAGE_VENDOR "uicontrol")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${UICONTROL_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime dev shell)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${UICONTROL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A shlibs file for the library package (only it holds shared objects).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The project's own libraries are found in the build tree; the shell's dependency on
# them is stated below, exactly.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${PROJECT_BINARY_DIR}/platform ${PROJECT_BINARY_DIR}/logging ${PROJECT_BINARY_DIR}/uicontrol)
set(uicontrol_deb_exact "(= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libuicontrol)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "control layer of a Lua-scripted tabbed web browser
The uicontrol library keeps the record of every tab of a web browser,
commands the tabs' pages and hears their events, talks to a data store
of favourites, history, closed tabs, search engines and settings, and
exposes all of it to the browser's Lua user interface.
.
This package holds the shared libraries.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libuicontrol-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
if(UICONTROL_LUA STREQUAL "luajit")
  set(uicontrol_deb_lua_dev libluajit-5.1-dev)
else()
  set(uicontrol_deb_lua_dev liblua5.1-0-dev)
endif()
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
  "libuicontrol ${uicontrol_deb_exact}, ${uicontrol_deb_lua_dev}, libtinyxml-dev, libsqlite3-dev, nlohmann-json3-dev, pkg-config")
set(CPACK_DEBIAN_DEV_DESCRIPTION "control layer of a Lua-scripted tabbed web browser (development)
Headers, static libraries (the Lua binding layer, the host's Lua
classes, the SQLite data store and the Chromium page engine), the CMake
package (find_package(uicontrol)) and the pkg-config files for building
programs on the uicontrol library.")

set(CPACK_DEBIAN_SHELL_PACKAGE_NAME uicontrol-shell)
set(CPACK_DEBIAN_SHELL_PACKAGE_SECTION web)
set(CPACK_DEBIAN_SHELL_PACKAGE_DEPENDS "libuicontrol ${uicontrol_deb_exact}")
set(CPACK_DEBIAN_SHELL_PACKAGE_RECOMMENDS chromium)
set(CPACK_DEBIAN_SHELL_DESCRIPTION "terminal web browser on the uicontrol library
uicontrol-shell runs a Lua user interface over the uicontrol library,
with a SQLite data store and pages rendered by a headless Chromium, in
the terminal.")

include(CPack)
