# One static library per source folder. Sources are globbed so that a new file in a
# folder needs no build edit; the folder's CMakeLists.txt names its dependencies.
function(qel_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SYSTEM_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    # An empty folder still gives a target so that dependents can name it.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} ${ARG_SYSTEM_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_SYSTEM_DEPS})
endfunction()

# The libraries a benchmark or fuzz source links: a line "// Links: qel_a qel_b" in the
# source names them, so that it builds without the folders it does not use; without that
# line it links every library.
function(qel_source_links source out)
  file(STRINGS ${source} lines LIMIT_COUNT 20 REGEX "^// Links: ")
  if(lines)
    list(GET lines 0 line)
    string(REGEX REPLACE "^// Links: " "" line "${line}")
    separate_arguments(libs UNIX_COMMAND "${line}")
  else()
    set(libs qel_base qel_package qel_system qel_platform qel_gui_core qel_gui_controls qel_gui_dialogs qel_gui_document qel_net_update qel_app
        qel_picture_core qel_picture_codecs qel_picture_tiffraw)
  endif()
  set(${out} ${libs} PARENT_SCOPE)
endfunction()
