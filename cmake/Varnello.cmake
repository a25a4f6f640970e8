# varnello_library(<target> DIR <folder> [QT] [DEPS <targets>...])
#
# Builds a static library from every .cpp of one folder (not its subfolders).
# Source lists are globbed so that adding a class never touches another
# folder's build file.
function(varnello_library target)
  cmake_parse_arguments(VL "QT" "DIR" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${VL_DIR}/*.cpp)
  file(GLOB _hdr CONFIGURE_DEPENDS ${VL_DIR}/*.h)
  if(NOT _src)
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
    target_link_libraries(${target} INTERFACE ${VL_DEPS})
    target_compile_features(${target} INTERFACE cxx_std_20)
    return()
  endif()
  add_library(${target} STATIC ${_src} ${_hdr})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  target_link_libraries(${target} PUBLIC ${VL_DEPS})
  # The headers are C++20: a client that sets no standard of its own gets it.
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(VL_QT)
    target_link_libraries(${target} PUBLIC Qt6::Widgets Qt6::Network)
  endif()
endfunction()

# varnello_test(<name> DIR <folder> DEPS <targets>...)
#
# One GoogleTest executable per test folder.
function(varnello_test name)
  cmake_parse_arguments(VT "" "DIR" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${VT_DIR}/*.cpp)
  if(NOT _src)
    return()
  endif()
  add_executable(${name} ${_src})
  target_link_libraries(${name} PRIVATE ${VT_DEPS} test_support GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
