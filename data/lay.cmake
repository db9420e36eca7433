# Lays the shipped files beside the program. Everything is refreshed from the
# source tree except the user's own rule lists, which are copied only when
# missing so that a rebuild never overwrites what the user edited.
file(MAKE_DIRECTORY "${DEST}/temp")
foreach(folder language sound tools help)
  file(COPY "${SRC}/${folder}" DESTINATION "${DEST}")
endforeach()
file(GLOB ini_files "${SRC}/ini/*")
file(MAKE_DIRECTORY "${DEST}/ini")
foreach(f ${ini_files})
  get_filename_component(name "${f}" NAME)
  if(name MATCHES "_User\\.ini$")
    if(NOT EXISTS "${DEST}/ini/${name}")
      file(COPY "${f}" DESTINATION "${DEST}/ini")
    endif()
  elseif(NOT name STREQUAL ".keep")
    file(COPY "${f}" DESTINATION "${DEST}/ini")
  endif()
endforeach()
