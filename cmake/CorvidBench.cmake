# corvid_add_benchmark(<name> SOURCES <files...> LIBS <targets...>)
# One Google Benchmark program (not run by CTest), linked to the given
# targets; targets that do not exist in this build are left out. Benchmarks
# include from the project root and learn the fixture folder like the tests.
function(corvid_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE benchmark::benchmark)
  foreach(lib IN LISTS ARG_LIBS)
    if(TARGET ${lib})
      target_link_libraries(${name} PRIVATE ${lib})
    endif()
  endforeach()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE CORVID_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
endfunction()

# corvid_glob_benchmarks(REQUIRES <target> LIBS <targets...>)
# Every bench_*.cpp in the calling folder becomes one benchmark program named
# after the file, built only when the REQUIRES target is part of the build.
function(corvid_glob_benchmarks)
  cmake_parse_arguments(ARG "" "REQUIRES" "LIBS" ${ARGN})
  if(NOT TARGET ${ARG_REQUIRES})
    return()
  endif()
  file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench_*.cpp)
  foreach(src IN LISTS bench_sources)
    get_filename_component(stem ${src} NAME_WE)
    corvid_add_benchmark(${stem} SOURCES ${src} LIBS ${ARG_REQUIRES} ${ARG_LIBS})
  endforeach()
endfunction()
