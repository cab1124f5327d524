# lum_include_root(TARGET PATH...): TARGET's headers are included by their
# paths in the source tree ("rules/presets.h", "lumhost/sound/playlist.h"),
# through a folder of the build that holds links to the given PATHs alone.
# A library then sees another's headers only by linking it, so the build,
# not only the link, keeps the arrows between rooms.
function(lum_include_root target)
  set(root ${PROJECT_BINARY_DIR}/include-roots/${target})
  foreach(path IN LISTS ARGN)
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
