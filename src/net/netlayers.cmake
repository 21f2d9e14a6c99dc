# Each network layer may include its own headers and those of the layers below it, never
# one above: a file of a lower layer that names a higher layer's header stops the
# configure step.
set(net_layers crypto tls http update)
list(LENGTH net_layers layer_count)
math(EXPR last_layer "${layer_count} - 1")
foreach(index RANGE ${last_layer})
  list(GET net_layers ${index} layer)
  list(SUBLIST net_layers ${index} -1 above)
  list(REMOVE_AT above 0)
  if(NOT above)
    continue()
  endif()
  list(JOIN above "|" above_pattern)
  file(GLOB layer_files CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/*.cpp)
  foreach(source ${layer_files})
    file(STRINGS ${source} upward REGEX "^#include \"net/(${above_pattern})/")
    if(upward)
      message(FATAL_ERROR "${source} includes a header of a higher network layer: ${upward}")
    endif()
  endforeach()
endforeach()

# The network stays below the windows and the program: a file of any layer that names a
# header of gui/, platform/ or app/ stops the configure step too.
file(GLOB_RECURSE net_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
foreach(source ${net_files})
  file(STRINGS ${source} above_net REGEX "^#include \"(gui|platform|app)/")
  if(above_net)
    message(FATAL_ERROR "${source} includes a header of the windows or the program: ${above_net}")
  endif()
endforeach()
