# The released executables (Windows, and the Linux station's packages) are byte for byte the
# same whenever and wherever a commit is built: no build folder in the objects (source and build
# folders are mapped to fixed names for __FILE__, debug information and the assembler's file
# names), no link time in the PE header, an ELF build id that is a hash of the linked content,
# no date or time macros, and archives without time stamps, owners or modes.
add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=src>"
  # Listed last, so that it wins for a build folder inside the source folder.
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-Wdate-time>")
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
else()
  add_link_options(-Wl,--build-id=sha1)
endif()
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()
