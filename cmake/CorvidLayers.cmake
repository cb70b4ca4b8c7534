# Libraries that own whole folders, and a configure-time check that keeps
# their includes to the folders they may see.
#
# A project header is included by its path from the project root
# ("dao/engine/variant.h"), so the compiler alone cannot tell which library a
# header belongs to. Each library made here names its folders; a library may
# include the headers of its own folders and of the libraries it links, and
# of the libraries those pass on to their users (PUBLIC or INTERFACE links,
# not PRIVATE ones). Anything else fails the configuration with the file and
# the include, before a line is compiled.

# The first path parts that name a folder of the project (an include starting
# with anything else is a system or third-party header).
if(NOT DEFINED CORVID_LAYER_ROOTS)
  set(CORVID_LAYER_ROOTS SrcLib engine dao jet tools frontend)
endif()

# corvid_layer_library(<target> FOLDERS <folders...> SOURCES <files...>)
# A static library of the listed sources (relative to the calling folder)
# that owns FOLDERS (relative to the project root).
function(corvid_layer_library target)
  cmake_parse_arguments(ARG "" "" "FOLDERS;SOURCES" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  set_property(TARGET ${target} PROPERTY CORVID_FOLDERS "${ARG_FOLDERS}")
endfunction()

# corvid_layer_umbrella(<target> LIBS <targets...>)
# An interface library that only passes the given libraries on.
function(corvid_layer_umbrella target)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_library(${target} INTERFACE)
  target_link_libraries(${target} INTERFACE ${ARG_LIBS})
  set_property(TARGET ${target} PROPERTY CORVID_FOLDERS "")
endfunction()

# The folders a user of `target` may include: its own and, through its
# public links, those of the libraries it passes on.
function(_corvid_visible_folders target out)
  set(result "")
  get_property(named TARGET ${target} PROPERTY CORVID_FOLDERS SET)
  if(named)
    get_property(own TARGET ${target} PROPERTY CORVID_FOLDERS)
  else()
    # A library of another part of the project owns the folder it is made in.
    get_target_property(dir ${target} SOURCE_DIR)
    file(RELATIVE_PATH own ${PROJECT_SOURCE_DIR} ${dir})
  endif()
  list(APPEND result ${own})
  get_target_property(passed ${target} INTERFACE_LINK_LIBRARIES)
  if(passed)
    foreach(dep IN LISTS passed)
      if(TARGET "${dep}")
        get_target_property(imported ${dep} IMPORTED)
        if(NOT imported)
          _corvid_visible_folders(${dep} folders)
          list(APPEND result ${folders})
        endif()
      endif()
    endforeach()
  endif()
  list(REMOVE_DUPLICATES result)
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# corvid_check_layers(<targets...>)
# Checks every .h and .cpp file in the folders of each target (made with
# corvid_layer_library); call it once all the libraries they link exist.
function(corvid_check_layers)
  foreach(target IN LISTS ARGN)
    get_property(allowed TARGET ${target} PROPERTY CORVID_FOLDERS)
    set(own ${allowed})
    get_target_property(links ${target} LINK_LIBRARIES)
    if(links)
      foreach(dep IN LISTS links)
        if(TARGET "${dep}")
          get_target_property(imported ${dep} IMPORTED)
          if(NOT imported)
            _corvid_visible_folders(${dep} folders)
            list(APPEND allowed ${folders})
          endif()
        endif()
      endforeach()
    endif()
    set(violations "")
    foreach(folder IN LISTS own)
      file(GLOB files ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
      foreach(file IN LISTS files)
        file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS lines)
          string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
          string(REGEX MATCH "^[^/]+" root "${header}")
          if(NOT header MATCHES "/" OR NOT root IN_LIST CORVID_LAYER_ROOTS)
            continue()
          endif()
          get_filename_component(dir ${header} DIRECTORY)
          if(NOT dir IN_LIST allowed)
            file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${file})
            string(APPEND violations "\n  ${shown} includes ${header}")
          endif()
        endforeach()
      endforeach()
    endforeach()
    list(REMOVE_DUPLICATES allowed)
    if(violations)
      list(JOIN allowed ", " seen)
      message(FATAL_ERROR "${target} may include only from ${seen}:${violations}")
    endif()
  endforeach()
endfunction()
