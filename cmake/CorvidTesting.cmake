# corvid_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable registered as one CTest test. Tests run from the
# project root (so ../shared/fixtures/... resolves), in a pinned locale, with
# Qt's offscreen platform and a private settings directory.
function(corvid_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "LC_ALL=C.UTF-8;QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config;CORVID_BUILD_DIR=${CMAKE_BINARY_DIR};${ARG_ENV}")
endfunction()

# corvid_glob_tests(LIBS <targets...>)
# Every test_*.cpp in the calling folder becomes its own test executable,
# named after the folder and the file, linked to the given targets (targets
# that do not exist in this build are left out).
function(corvid_glob_tests)
  cmake_parse_arguments(ARG "" "PREFIX" "LIBS" ${ARGN})
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  file(GLOB support_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support_*.cpp)
  set(libs "")
  foreach(lib IN LISTS ARG_LIBS)
    if(TARGET ${lib})
      list(APPEND libs ${lib})
    endif()
  endforeach()
  foreach(src IN LISTS test_sources)
    get_filename_component(stem ${src} NAME_WE)
    corvid_add_test(${ARG_PREFIX}_${stem} SOURCES ${src} ${support_sources} LIBS ${libs})
    # Tests that open the shared Access fixtures take file locks on them (an
    # exclusive open keeps every other reader out): they never run side by
    # side under ctest -j.
    file(READ ${src} content)
    if(content MATCHES "shared/fixtures|kFixtures|kNwind|FixtureFiles")
      set_tests_properties(${ARG_PREFIX}_${stem} PROPERTIES RESOURCE_LOCK shared_fixtures)
    endif()
  endforeach()
endfunction()

# corvid_glob_library(<target> [RECURSE] [EXCLUDE <file names...>])
# A static library of every .cpp below the calling folder.
function(corvid_glob_library target)
  cmake_parse_arguments(ARG "RECURSE" "" "EXCLUDE" ${ARGN})
  if(ARG_RECURSE)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "/${ex}$")
  endforeach()
  if(NOT sources)
    return()  # nothing built here yet
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
