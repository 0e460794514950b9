# tq582_library(NAME DIR LINKS...): a static library from every .cpp/.h in DIR that matches
# the optional GLOB patterns. Sources are globbed so that adding a file needs no CMake edit.
function(tq582_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  set(cpp ${ARG_SOURCES})
  list(FILTER cpp INCLUDE REGEX "\\.cpp$")
  if(NOT cpp)
    # Headers only so far: an interface library keeps the dependency graph in place.
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE tq582_options ${ARG_LINKS})
    return()
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC tq582_options ${ARG_LINKS})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# tq582_test(NAME SOURCES... LINKS...): one GoogleTest executable registered with CTest.
# The shared test main creates the QApplication (offscreen when no platform is set).
function(tq582_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tq582_options tq582_testmain GTest::gtest GTest::gmock ${ARG_LINKS})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
    DISCOVERY_MODE PRE_TEST)
endfunction()

# tq582_rules_sources(OUT DIR [EXCLUDE regex]): the non-widget sources of a subsystem folder.
# Widget code lives in files named *_screen.cpp/.h and is built into the terminal library.
function(tq582_rules_sources out dir)
  cmake_parse_arguments(ARG "" "EXCLUDE" "" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  list(FILTER all EXCLUDE REGEX "_screen\\.(cpp|h)$")
  if(ARG_EXCLUDE)
    list(FILTER all EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  set(${out} ${all} PARENT_SCOPE)
endfunction()
