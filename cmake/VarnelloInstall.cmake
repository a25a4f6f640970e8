# Installs the engine as a library that clients build against:
#
#   <prefix>/include/varnello/{db,platform,errors,util,scenario,engine,analyses}/*.h
#   <prefix>/lib/libvarnello_*.a
#   <prefix>/lib/cmake/Varnello/VarnelloConfig.cmake (+ version and targets)
#
# A client's CMakeLists needs only
#   find_package(Varnello REQUIRED)
#   target_link_libraries(client PRIVATE Varnello::engine)
# and includes <engine/Varnello.h>.
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

# The public headers keep their folders, as the sources include them.
foreach(_dir db platform errors util scenario engine analyses
        analyses/descriptive analyses/group analyses/regression analyses/nonparametric)
  file(GLOB _headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${_dir}/*.h)
  if(_headers)
    install(FILES ${_headers} DESTINATION ${VARNELLO_INSTALL_INCLUDEDIR}/${_dir})
  endif()
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
