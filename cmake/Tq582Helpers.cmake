# tq582_library(NAME SOURCES... LINKS...): a static library built from the files of the
# calling folder, named one by one.
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
# BOTH_ENGINES registers every test a second time, named "pg.<test>", run on the database
# server engine (TQ582_TEST_ENGINE=pg; see tests/test_database.h).
function(tq582_test name)
  cmake_parse_arguments(ARG "BOTH_ENGINES" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tq582_options tq582_testmain GTest::gtest GTest::gmock ${ARG_LINKS})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
    DISCOVERY_MODE PRE_TEST)
  if(ARG_BOTH_ENGINES)
    target_link_libraries(${name} PRIVATE tq582_testdb)
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 60
      TEST_PREFIX "pg."
      # One variable only: the discovery script of CMake 3.25 splits a list of several.
      PROPERTIES ENVIRONMENT "TQ582_TEST_ENGINE=pg"
      DISCOVERY_MODE PRE_TEST)
  endif()
endfunction()

# tq582_soname(VAR NAME LIBRARIES): the shared-object name (as dlopen takes it) of the library
# libNAME among the full paths LIBRARIES (a pkg-config module's LINK_LIBRARIES). The library is
# recorded for the package's dependencies (cmake/Tq582Package.cmake).
function(tq582_soname var name libraries)
  foreach(lib ${libraries})
    get_filename_component(file ${lib} NAME)
    if(file MATCHES "^lib${name}\\.so")
      execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${lib} OUTPUT_VARIABLE dump
                      COMMAND_ERROR_IS_FATAL ANY)
      if(dump MATCHES "SONAME +([^\n]+)")
        string(STRIP "${CMAKE_MATCH_1}" soname)
        set(${var} ${soname} PARENT_SCOPE)
        # dpkg-shlibdeps sees only linked libraries: the package names this one itself.
        get_filename_component(real ${lib} REALPATH)
        set_property(GLOBAL APPEND PROPERTY TQ582_OPENED_LIBRARIES ${real})
        return()
      endif()
    endif()
  endforeach()
  message(FATAL_ERROR "no shared object name for lib${name} in ${libraries}")
endfunction()
