# Installs the engine as a library that clients build against:
#
#   <prefix>/include/varnello/engine/Varnello.h and the headers it includes
#   <prefix>/lib/libvarnello_*.a
#   <prefix>/lib/cmake/Varnello/VarnelloConfig.cmake (+ version and targets)
#
# A client's CMakeLists needs only
#   find_package(Varnello REQUIRED)
#   target_link_libraries(client PRIVATE Varnello::engine)
# and includes <engine/Varnello.h>; the targets carry C++20 and SQLite.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VARNELLO_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/varnello)
set(VARNELLO_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Varnello)

# The engine and the libraries under it, each exported as Varnello::<name>.
set(_varnello_libs
  varnello_db:db
  varnello_platform:platform
  varnello_errors:errors
  varnello_util:util
  varnello_scenario:scenario
  varnello_engine:engine)
set(_varnello_targets)
foreach(_pair IN LISTS _varnello_libs)
  string(REPLACE ":" ";" _pair "${_pair}")
  list(GET _pair 0 _target)
  list(GET _pair 1 _name)
  set_target_properties(${_target} PROPERTIES EXPORT_NAME ${_name})
  target_include_directories(${_target} INTERFACE $<INSTALL_INTERFACE:${VARNELLO_INSTALL_INCLUDEDIR}>)
  list(APPEND _varnello_targets ${_target})
endforeach()

install(TARGETS ${_varnello_targets}
  EXPORT VarnelloTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})

# The client's header and the project headers it includes, followed through
# every level: nothing of the engine's inside (VarnelloCore.h, the run
# context, the analyses), of the application or of SQLite. They keep their
# folders, as the sources include them.
function(varnello_included_headers out)
  set(_todo ${ARGN})
  set(_found)
  while(_todo)
    list(POP_FRONT _todo _header)
    if(_header IN_LIST _found)
      continue()
    endif()
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${_header})
      message(FATAL_ERROR "${_header}, included by a client header, is no header of this project")
    endif()
    list(APPEND _found ${_header})
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${_header})
    file(STRINGS ${PROJECT_SOURCE_DIR}/${_header} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(_line IN LISTS _lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" _included "${_line}")
      list(APPEND _todo ${_included})
    endforeach()
  endwhile()
  set(${out} ${_found} PARENT_SCOPE)
endfunction()

varnello_included_headers(_client_headers engine/Varnello.h)
foreach(_header IN LISTS _client_headers)
  get_filename_component(_dir ${_header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${_header} DESTINATION ${VARNELLO_INSTALL_INCLUDEDIR}/${_dir})
endforeach()

install(EXPORT VarnelloTargets
  NAMESPACE Varnello::
  DESTINATION ${VARNELLO_INSTALL_CMAKEDIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VarnelloConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/VarnelloConfig.cmake
  INSTALL_DESTINATION ${VARNELLO_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VarnelloConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/VarnelloConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/VarnelloConfigVersion.cmake
  DESTINATION ${VARNELLO_INSTALL_CMAKEDIR})
