# The real Access files and OLE samples the tests read live in the project
# (tests/fixtures); every test learns the folder from one definition.
set(CORVID_FIXTURES_DIR ${PROJECT_SOURCE_DIR}/tests/fixtures)

# corvid_add_test(<name> SOURCES <files...> LIBS <targets...> [USES_FIXTURES])
# One GoogleTest executable registered as one CTest test. Tests run from the
# project root, in a pinned locale, with Qt's offscreen platform and a private
# settings directory. USES_FIXTURES marks a test that opens the real files:
# before its first test it checks that every fixture the README lists is
# there (a missing one fails the program with its name instead of crashing a
# test), and it never runs beside another such test under ctest -j, because an
# exclusive open keeps every other reader of the same file out.
function(corvid_add_test name)
  cmake_parse_arguments(ARG "USES_FIXTURES" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  set(sources ${ARG_SOURCES})
  if(ARG_USES_FIXTURES)
    list(APPEND sources ${PROJECT_SOURCE_DIR}/tests/fixture_check.cpp)
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE CORVID_FIXTURES_DIR="${CORVID_FIXTURES_DIR}")
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "LC_ALL=C.UTF-8;QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config;CORVID_BUILD_DIR=${CMAKE_BINARY_DIR};${ARG_ENV}")
  if(ARG_USES_FIXTURES)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK corvid_fixtures)
  endif()
endfunction()

# corvid_glob_tests(PREFIX <p> LIBS <targets...> [SUPPORT <files...>]
#                   [FIXTURE_TESTS <stems...>])
# Every test_*.cpp in the calling folder becomes its own test executable,
# named after the folder and the file, linked to the given targets (targets
# that do not exist in this build are left out) and built with the folder's
# support_*.cpp and the SUPPORT files of other folders. The files named in
# FIXTURE_TESTS (without .cpp) open the real fixtures (see USES_FIXTURES).
function(corvid_glob_tests)
  cmake_parse_arguments(ARG "" "PREFIX" "LIBS;SUPPORT;FIXTURE_TESTS" ${ARGN})
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  file(GLOB support_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support_*.cpp)
  list(APPEND support_sources ${ARG_SUPPORT})
  set(libs "")
  foreach(lib IN LISTS ARG_LIBS)
    if(TARGET ${lib})
      list(APPEND libs ${lib})
    endif()
  endforeach()
  foreach(src IN LISTS test_sources)
    get_filename_component(stem ${src} NAME_WE)
    set(uses_fixtures "")
    if(stem IN_LIST ARG_FIXTURE_TESTS)
      set(uses_fixtures USES_FIXTURES)
    endif()
    corvid_add_test(${ARG_PREFIX}_${stem} SOURCES ${src} ${support_sources} LIBS ${libs} ${uses_fixtures})
  endforeach()
  foreach(stem IN LISTS ARG_FIXTURE_TESTS)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${stem}.cpp)
      message(FATAL_ERROR "FIXTURE_TESTS names ${stem}, which is not a test of ${CMAKE_CURRENT_SOURCE_DIR}")
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
