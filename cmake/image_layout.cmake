# The firmware image's layout, read from runtime/image_layout.hpp so that the build checks and
# generates the image with the numbers the program sends it by:
#   KX_IMAGE_BLOCK_SIZE  bytes in a block
#   KX_IMAGE_BLOCKS      blocks in the image
#   KX_IMAGE_SIZE        bytes in the image
set(_layout ${CMAKE_SOURCE_DIR}/runtime/image_layout.hpp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_layout})
foreach(_pair "kBlockSize;KX_IMAGE_BLOCK_SIZE" "kBlockCount;KX_IMAGE_BLOCKS")
  list(GET _pair 0 _name)
  list(GET _pair 1 _var)
  file(STRINGS ${_layout} _line REGEX " ${_name} = [0-9]+;")
  if(NOT _line MATCHES " ${_name} = ([0-9]+)")
    message(FATAL_ERROR "${_layout}: no line \"${_name} = <number>;\"")
  endif()
  set(${_var} ${CMAKE_MATCH_1})
endforeach()
math(EXPR KX_IMAGE_SIZE "${KX_IMAGE_BLOCK_SIZE} * ${KX_IMAGE_BLOCKS}")
