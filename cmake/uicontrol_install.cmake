# Installation: the libraries, their public headers, the shell and its Lua interface,
# the CMake package (uicontrol::*), one pkg-config file per library, the shell's man page,
# and the Debian packages (cpack -G DEB).
#
# Install components, one per Debian package:
#   runtime  the shared libraries (libuicontrol)
#   dev      headers, static libraries, library links, CMake and pkg-config files (libuicontrol-dev)
#   shell    uicontrol-shell and uicontrol-browser, their UI scripts, the shell's man page
#            and the browser's desktop entry (uicontrol-shell)
#
# The binding layer, the host classes and the two components stay static libraries: their
# symbols are hidden (only the factories and the host classes are public), the tests reach
# their internals, and the shell links them into itself. They are exported with their own
# dependencies, so a consumer of uicontrol::datastore finds SQLite through the package.
include(CMakePackageConfigHelpers)
find_program(GZIP gzip REQUIRED)

set(UICONTROL_MAINTAINER "uicontrol maintainers <maintainers@users.noreply.c-seed-508f20ea.example>")
set(UICONTROL_SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
# The headers go under include/uicontrol; they include each other as "uicontrol/...",
# "platform/...", "uibind/...", so that folder is the include root.
set(UICONTROL_INCLUDE_ROOT ${CMAKE_INSTALL_INCLUDEDIR}/uicontrol)
set(UICONTROL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/uicontrol)

# The version header, in the build tree's generated include folder.
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${PROJECT_BINARY_DIR}/include/uicontrol/version.h @ONLY)
target_include_directories(uicontrol PUBLIC $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>)

# Targets include the source tree while building; installed, they include the install root.
function(uicontrol_install_includes target)
  get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  set(wrapped)
  foreach(dir IN LISTS dirs)
    if(dir MATCHES "^\\$<")
      list(APPEND wrapped "${dir}")
    else()
      list(APPEND wrapped "$<BUILD_INTERFACE:${dir}>")
    endif()
  endforeach()
  list(APPEND wrapped "$<INSTALL_INTERFACE:${UICONTROL_INCLUDE_ROOT}>")
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${wrapped}")
endfunction()

set(UICONTROL_SHARED_TARGETS platform logging uicontrol)
set(UICONTROL_STATIC_TARGETS uibind hostlua)
foreach(t datastore contentfilter pagecommon webpage)
  if(TARGET ${t})
    list(APPEND UICONTROL_STATIC_TARGETS ${t})
  endif()
endforeach()

foreach(t IN LISTS UICONTROL_SHARED_TARGETS)
  set_target_properties(${t} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${UICONTROL_SOVERSION})
endforeach()
# Installed static libraries carry the project's prefix; targets are reached as uicontrol::<name>.
foreach(t IN LISTS UICONTROL_STATIC_TARGETS)
  set_target_properties(${t} PROPERTIES OUTPUT_NAME uicontrol-${t})
endforeach()
foreach(t IN LISTS UICONTROL_SHARED_TARGETS UICONTROL_STATIC_TARGETS)
  uicontrol_install_includes(${t})
endforeach()

# Installed programs and libraries find the project's libraries beside them, wherever the
# prefix is unpacked (dpkg -x, a relocated prefix).
file(RELATIVE_PATH UICONTROL_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(platform logging uicontrol PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS ${UICONTROL_SHARED_TARGETS} ${UICONTROL_STATIC_TARGETS}
  EXPORT uicontrolTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

# Public headers: the library's interfaces and CTabManager/CTabInfo/CLuaTabInfo, the
# binding layer's include tree, the host classes and the components' factories, with the
# few headers of the library and the platform layer that these include.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/uicontrol/interfaces ${PROJECT_SOURCE_DIR}/uicontrol/com
  DESTINATION ${UICONTROL_INCLUDE_ROOT}/uicontrol COMPONENT dev FILES_MATCHING PATTERN "*.h")
install(FILES
  ${PROJECT_SOURCE_DIR}/uicontrol/tabmanager.h
  ${PROJECT_SOURCE_DIR}/uicontrol/tabinfo.h
  ${PROJECT_SOURCE_DIR}/uicontrol/export.h
  ${PROJECT_SOURCE_DIR}/uicontrol/atomicslot.h
  ${PROJECT_SOURCE_DIR}/uicontrol/callbackslot.h
  ${PROJECT_SOURCE_DIR}/uicontrol/guardedstring.h
  ${PROJECT_SOURCE_DIR}/uicontrol/tabtask.h
  ${PROJECT_SOURCE_DIR}/uicontrol/tabtaskqueue.h
  ${PROJECT_SOURCE_DIR}/uicontrol/tunables.h
  ${PROJECT_BINARY_DIR}/include/uicontrol/version.h
  DESTINATION ${UICONTROL_INCLUDE_ROOT}/uicontrol COMPONENT dev)
install(FILES
  ${PROJECT_SOURCE_DIR}/platform/export.h
  ${PROJECT_SOURCE_DIR}/platform/windef.h
  ${PROJECT_SOURCE_DIR}/platform/lock.h
  ${PROJECT_SOURCE_DIR}/platform/mutex.h
  ${PROJECT_SOURCE_DIR}/platform/event.h
  ${PROJECT_SOURCE_DIR}/platform/thread.h
  DESTINATION ${UICONTROL_INCLUDE_ROOT}/platform COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/luaex/uibind/include/uibind
  DESTINATION ${UICONTROL_INCLUDE_ROOT} COMPONENT dev FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_SOURCE_DIR}/host/luaclasses.h DESTINATION ${UICONTROL_INCLUDE_ROOT}/host COMPONENT dev)
if(TARGET datastore)
  install(FILES ${PROJECT_SOURCE_DIR}/components/datastore/datastore.h
    ${PROJECT_SOURCE_DIR}/components/datastore/tunables.h
    DESTINATION ${UICONTROL_INCLUDE_ROOT}/components/datastore COMPONENT dev)
endif()
if(TARGET webpage)
  install(FILES ${PROJECT_SOURCE_DIR}/components/webpage/webpagemanager.h
    ${PROJECT_SOURCE_DIR}/components/webpage/weblog.h
    DESTINATION ${UICONTROL_INCLUDE_ROOT}/components/webpage COMPONENT dev)
  # webpagemanager.h builds its options on the engines' shared ones.
  install(FILES ${PROJECT_SOURCE_DIR}/components/pagecore/pageoptions.h
    ${PROJECT_SOURCE_DIR}/components/pagecore/historyentry.h
    DESTINATION ${UICONTROL_INCLUDE_ROOT}/components/pagecore COMPONENT dev)
endif()

# The CMake package.
install(EXPORT uicontrolTargets NAMESPACE uicontrol:: DESTINATION ${UICONTROL_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/uicontrolConfig.cmake.in
  ${PROJECT_BINARY_DIR}/uicontrolConfig.cmake INSTALL_DESTINATION ${UICONTROL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/uicontrolConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/uicontrolConfig.cmake ${PROJECT_BINARY_DIR}/uicontrolConfigVersion.cmake
  DESTINATION ${UICONTROL_CMAKE_DIR} COMPONENT dev)

# pkg-config: one file per library. The static ones require what they link, publicly,
# since their users link it too.
file(RELATIVE_PATH UICONTROL_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" UICONTROL_PC_TO_PREFIX "${UICONTROL_PC_TO_PREFIX}")
function(uicontrol_pkgconfig name description requires libs)
  set(PC_NAME ${name})
  set(PC_DESCRIPTION ${description})
  set(PC_REQUIRES ${requires})
  set(PC_LIBS ${libs})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/uicontrol.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endfunction()
uicontrol_pkgconfig(uicontrol-platform "uicontrol's stand-ins for Win32 services" "" "-luicontrol-platform -pthread")
uicontrol_pkgconfig(uicontrol-logging "uicontrol's leveled logging" "uicontrol-platform" "-luicontrol-logging")
uicontrol_pkgconfig(uicontrol "The control layer of a Lua-scripted tabbed web browser"
  "uicontrol-platform uicontrol-logging" "-luicontrol")
uicontrol_pkgconfig(uicontrol-uibind "uicontrol's Lua binding layer (static)" "${UICONTROL_LUA_MODULE}" "-luicontrol-uibind")
uicontrol_pkgconfig(uicontrol-hostlua "The host's Lua classes std.wstring and HWND (static)"
  "uicontrol-uibind uicontrol-platform" "-luicontrol-hostlua -pthread")
if(TARGET datastore)
  uicontrol_pkgconfig(uicontrol-datastore "uicontrol's data store on SQLite (static)"
    "uicontrol-platform sqlite3 tinyxml" "-luicontrol-datastore -pthread")
endif()
if(TARGET webpage)
  uicontrol_pkgconfig(uicontrol-webpage "uicontrol's page engine on headless Chromium (static)"
    "uicontrol-platform libpsl" "-luicontrol-webpage -luicontrol-pagecommon -luicontrol-contentfilter -pthread")
endif()

# The shell, its terminal interface and its man page (made from its --help and --version).
if(TARGET uicontrol-shell)
  set_target_properties(uicontrol-shell PROPERTIES INSTALL_RPATH "$ORIGIN/${UICONTROL_BIN_TO_LIB}")
  install(TARGETS uicontrol-shell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT shell)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/ui/ DESTINATION ${CMAKE_INSTALL_DATADIR}/uicontrol/ui
    COMPONENT shell FILES_MATCHING PATTERN "*.lua" PATTERN "*.css")

  find_program(HELP2MAN help2man)
  if(HELP2MAN)
    set(man ${PROJECT_BINARY_DIR}/man/uicontrol-shell.1)
    add_custom_command(OUTPUT ${man}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1
              "--name=the terminal host of the uicontrol web browser"
              --output=${man} $<TARGET_FILE:uicontrol-shell>
      COMMAND ${GZIP} -9nf ${man}
      DEPENDS uicontrol-shell
      COMMENT "Man page of uicontrol-shell from its --help")
    add_custom_target(uicontrol-man ALL DEPENDS ${man}.gz)
    install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT shell)
  else()
    message(STATUS "help2man not found: no man page for uicontrol-shell")
  endif()
endif()

# The client that sends one remote command to a running browser, beside the programs.
if(TARGET uicontrol-remote)
  set_target_properties(uicontrol-remote PROPERTIES INSTALL_RPATH "$ORIGIN/${UICONTROL_BIN_TO_LIB}")
  install(TARGETS uicontrol-remote RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT shell)
endif()

# The desktop browser, its chrome's style sheet and its menu entry, in the shell's
# package: the same profiles, and scripts/run.sh picks one by the display.
if(TARGET uicontrol-browser)
  set_target_properties(uicontrol-browser PROPERTIES INSTALL_RPATH "$ORIGIN/${UICONTROL_BIN_TO_LIB}")
  install(TARGETS uicontrol-browser RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT shell)
  install(FILES ${PROJECT_SOURCE_DIR}/ui/desktop/style.css DESTINATION ${CMAKE_INSTALL_DATADIR}/uicontrol/ui/desktop
    COMPONENT shell)
  install(FILES ${PROJECT_SOURCE_DIR}/browser/uicontrol-browser.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT shell)
endif()
# What the library starts from the programs' folder to make the browser the default one.
if(TARGET sadb.exe)
  set_target_properties(sadb.exe PROPERTIES INSTALL_RPATH "$ORIGIN/${UICONTROL_BIN_TO_LIB}")
  install(TARGETS sadb.exe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT shell)
endif()

# Debian documentation of each package: copyright and the changelog (the packages are
# native: their version is the project's). The changelog's entry is the CHANGELOG.md entry
# of this version, dated as there.
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md UICONTROL_RELEASE_LINE
  REGEX "^## ${PROJECT_VERSION} - [0-9]+-[0-9]+-[0-9]+")
if(NOT UICONTROL_RELEASE_LINE MATCHES "([0-9]+-[0-9]+-[0-9]+)$")
  message(FATAL_ERROR "CHANGELOG.md has no entry '## ${PROJECT_VERSION} - YYYY-MM-DD'")
endif()
set(UICONTROL_RELEASE_DATE ${CMAKE_MATCH_1})
execute_process(COMMAND date -u -R -d "${UICONTROL_RELEASE_DATE} 12:00"
  OUTPUT_VARIABLE UICONTROL_DEB_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
set(UICONTROL_DEB_NAMES runtime libuicontrol dev libuicontrol-dev shell uicontrol-shell)
foreach(i RANGE 0 4 2)
  math(EXPR j "${i} + 1")
  list(GET UICONTROL_DEB_NAMES ${i} component)
  list(GET UICONTROL_DEB_NAMES ${j} package)
  set(DEB_PACKAGE ${package})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/${package}/changelog @ONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/${package}/changelog.gz
    COMMAND ${GZIP} -9nkf ${PROJECT_BINARY_DIR}/debian/${package}/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/debian/${package}/changelog)
  add_custom_target(uicontrol-changelog-${package} ALL
    DEPENDS ${PROJECT_BINARY_DIR}/debian/${package}/changelog.gz)
  install(FILES ${PROJECT_BINARY_DIR}/debian/${package}/changelog.gz
    ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

include(${PROJECT_SOURCE_DIR}/cmake/uicontrol_cpack.cmake)
