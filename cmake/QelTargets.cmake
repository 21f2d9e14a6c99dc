# Libraries, their floors and their include folders. cmake/layers.cmake holds the table
# (qel_layer rows); each source folder's CMakeLists.txt builds its library with
# qel_library, which takes its dependencies from the folder's row.

# A row of the layer table: `folder` (under src/) may use the folders after USES and,
# through them, everything they may use.
function(qel_layer folder)
  cmake_parse_arguments(ARG "" "" "USES" ${ARGN})
  get_property(known GLOBAL PROPERTY QEL_LAYERS)
  if(folder IN_LIST known)
    message(FATAL_ERROR "cmake/layers.cmake: ${folder} has two rows")
  endif()
  foreach(used ${ARG_USES})
    if(used STREQUAL "testhooks")
      message(FATAL_ERROR "cmake/layers.cmake: ${folder} uses testhooks, which only tests, fuzz "
                          "targets and benchmarks may link")
    endif()
    if(NOT used IN_LIST known)
      message(FATAL_ERROR "cmake/layers.cmake: ${folder} uses ${used}, which has no row above it")
    endif()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY QEL_LAYERS ${folder})
  set_property(GLOBAL PROPERTY QEL_LAYER_USES_${folder} ${ARG_USES})
endfunction()

# The library target of a folder: qel_ and the folder with / as _ (gui/core: qel_gui_core).
function(qel_layer_target folder out)
  string(REPLACE "/" "_" name "qel_${folder}")
  set(${out} ${name} PARENT_SCOPE)
endfunction()

# Every folder `folder` may include: its row's folders and all they may use.
function(qel_layer_reach folder out)
  set(reach "")
  get_property(pending GLOBAL PROPERTY QEL_LAYER_USES_${folder})
  while(pending)
    list(POP_FRONT pending next)
    if(NOT next IN_LIST reach)
      list(APPEND reach ${next})
      get_property(more GLOBAL PROPERTY QEL_LAYER_USES_${next})
      list(APPEND pending ${more})
    endif()
  endwhile()
  set(${out} ${reach} PARENT_SCOPE)
endfunction()

function(qel_current_layer out)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  get_property(known GLOBAL PROPERTY QEL_LAYERS)
  if(NOT folder IN_LIST known)
    message(FATAL_ERROR "src/${folder} builds a library but has no row in cmake/layers.cmake")
  endif()
  set(${out} ${folder} PARENT_SCOPE)
endfunction()

# Gives `target` the public include folder of the current source folder, which holds that
# folder alone (build/<preset>/layers/<target>/<folder> links to src/<folder>): a library
# reaches a header only through the libraries it links.
function(qel_expose_folder target)
  qel_current_layer(folder)
  qel_layer_target(${folder} owner)
  set(root ${PROJECT_BINARY_DIR}/layers/${owner})
  if(NOT EXISTS ${root}/${folder})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# The static library of the current source folder, named as qel_layer_target names it.
# Sources are globbed so that a new file needs no build edit (EXCLUDE names files that
# build something else); the folder's row gives the library dependencies, SYSTEM_DEPS the
# system libraries.
function(qel_library name)
  cmake_parse_arguments(ARG "" "" "SYSTEM_DEPS;EXCLUDE" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "${name}: unknown arguments ${ARG_UNPARSED_ARGUMENTS} (the libraries a "
                        "library uses come from its folder's row in cmake/layers.cmake)")
  endif()
  qel_current_layer(folder)
  qel_layer_target(${folder} expected)
  if(NOT name STREQUAL expected)
    message(FATAL_ERROR "src/${folder}: its library is named ${expected}, not ${name}")
  endif()
  get_property(uses GLOBAL PROPERTY QEL_LAYER_USES_${folder})
  set(deps "")
  foreach(used ${uses})
    qel_layer_target(${used} dep)
    list(APPEND deps ${dep})
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC ${deps} ${ARG_SYSTEM_DEPS})
  qel_expose_folder(${name})
endfunction()

# The folder an include names: the folder of the file it reaches from the including file's
# own folder if there is one (a relative include), else its leading path.
function(qel_included_folder source include out)
  get_filename_component(dir ${source} DIRECTORY)
  if(EXISTS ${dir}/${include})
    get_filename_component(target_dir ${dir}/${include} DIRECTORY)
    file(REAL_PATH ${target_dir} target_dir)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${target_dir})
  else()
    get_filename_component(folder ${include} DIRECTORY)
  endif()
  set(${out} "${folder}" PARENT_SCOPE)
endfunction()

# Stops the configure step at the first include under src/ that the table does not allow,
# and at a source file outside every library folder.
function(qel_check_layers)
  get_property(layers GLOBAL PROPERTY QEL_LAYERS)
  set(src ${PROJECT_SOURCE_DIR}/src)
  file(GLOB_RECURSE all_sources CONFIGURE_DEPENDS ${src}/*.h ${src}/*.cpp)
  foreach(source ${all_sources})
    get_filename_component(dir ${source} DIRECTORY)
    file(RELATIVE_PATH folder ${src} ${dir})
    if(NOT folder IN_LIST layers)
      message(FATAL_ERROR "${source} is in src/${folder}, which has no row in cmake/layers.cmake")
    endif()
    if(NOT DEFINED reach_${folder})
      qel_layer_reach(${folder} reach)
      set(reach_${folder} "${reach}")
    endif()
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([\"<][^\">]*[\">]).*" "\\1" written
             "${line}")
      string(REGEX REPLACE "^.(.*).$" "\\1" include "${written}")
      if(written MATCHES "^<")
        # A system header, unless its folder is one of ours.
        get_filename_component(included "${include}" DIRECTORY)
        if(NOT included IN_LIST layers)
          continue()
        endif()
      else()
        qel_included_folder(${source} ${include} included)
      endif()
      if(included STREQUAL folder OR included IN_LIST reach_${folder})
        continue()
      endif()
      if(reach_${folder})
        string(REPLACE ";" ", " allowed "${reach_${folder}}")
      else()
        set(allowed "no other folder")
      endif()
      message(FATAL_ERROR "${source} includes ${written}, but src/${folder} may include "
                          "only its own headers and those of ${allowed} (cmake/layers.cmake)")
    endforeach()
  endforeach()
endfunction()

# The libraries a benchmark or fuzz source links: a line "// Links: qel_a qel_b" in the
# source names them, so that it builds without the folders it does not use; without that
# line it links every library of the table but the test hooks.
function(qel_source_links source out)
  file(STRINGS ${source} lines LIMIT_COUNT 20 REGEX "^// Links: ")
  if(lines)
    list(GET lines 0 line)
    string(REGEX REPLACE "^// Links: " "" line "${line}")
    separate_arguments(libs UNIX_COMMAND "${line}")
  else()
    get_property(layers GLOBAL PROPERTY QEL_LAYERS)
    list(REMOVE_ITEM layers testhooks)
    set(libs "")
    foreach(folder ${layers})
      qel_layer_target(${folder} lib)
      list(APPEND libs ${lib})
    endforeach()
  endif()
  set(${out} ${libs} PARENT_SCOPE)
endfunction()
