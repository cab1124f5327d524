# A VLC of the tests' own: libvlc and libvlccore copied into FOLDER, and
# beside them the plug-in tree libvlccore scans (FOLDER/vlc/plugins) made of
# links to every plug-in of the machine's VLC but the one named LEAVE_OUT, the
# lum module a package may have installed there. The tests add this build's
# module with VLC_PLUGIN_PATH, so VLC never meets two of them. Files are
# linked one by one: one installed after this ran is not seen.
# cmake -DLIBRARY_FOLDER=... -DPLUGINS=... -DLEAVE_OUT=liblum_plugin.so -DFOLDER=... -P private_vlc.cmake
foreach(variable LIBRARY_FOLDER PLUGINS LEAVE_OUT FOLDER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "private_vlc.cmake: ${variable} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}/vlc/plugins")
file(GLOB libraries "${LIBRARY_FOLDER}/libvlc.so.*" "${LIBRARY_FOLDER}/libvlccore.so.*")
if(NOT libraries)
  message(FATAL_ERROR "private_vlc.cmake: no libvlc in ${LIBRARY_FOLDER}")
endif()
# Copies, not links: libvlccore finds its plug-in tree from where its file is.
file(COPY ${libraries} DESTINATION "${FOLDER}" FOLLOW_SYMLINK_CHAIN)

file(GLOB_RECURSE plugins RELATIVE "${PLUGINS}" "${PLUGINS}/*.so")
set(linked 0)
foreach(plugin IN LISTS plugins)
  get_filename_component(name "${plugin}" NAME)
  if(name STREQUAL LEAVE_OUT)
    continue()
  endif()
  get_filename_component(folder "${FOLDER}/vlc/plugins/${plugin}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(CREATE_LINK "${PLUGINS}/${plugin}" "${FOLDER}/vlc/plugins/${plugin}" SYMBOLIC)
  math(EXPR linked "${linked} + 1")
endforeach()
if(linked EQUAL 0)
  message(FATAL_ERROR "private_vlc.cmake: no VLC plug-ins in ${PLUGINS}")
endif()
