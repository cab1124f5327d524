# The Debian packages, built by CPack from the install rules, one per install
# component: build/package/gyrotrail_<version>_<arch>.deb and one for each
# front end named with gyrotrail_package (cmake/packages.cmake), such as
# gyrotrail-obs_<version>_<arch>.deb (scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_PACKAGE_NAME gyrotrail)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norvandelworks")
set(CPACK_PACKAGE_CONTACT "Norvandelworks <gyrotrail@norvandelworks.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://gyrotrail.norvandelworks.example")
# Each package's description is its summary line, then the long text. (CPack
# would put CPACK_PACKAGE_DESCRIPTION_SUMMARY before every package's, so it is
# left at its default.)
set(gyrotrail_summary "sound-visualisation plug-in gyrotrail.lum and its host lumhost")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "gyrotrail.lum is a .lum sound-visualisation plug-in: for every block of
sound it draws one frame of a short, rotating, fading trail of line
segments.

lumhost loads any .lum plug-in by name or path, renders audio files through
it into video (with the sound), GIF, PNG or raw frames, or plays them with
the figure in a live window. lumhost list shows the plug-ins on the search
path ($LUM_PATH, ~/.local/lib/lum, the system's folder).

The host interface header lum/lum_plugin.h, with the pkg-config file
lum-plugin.pc and the CMake package LumPlugin, lets third parties write
other hosts and plug-ins.")
set(CPACK_DEBIAN_GYROTRAIL_DESCRIPTION "${gyrotrail_summary}\n${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies from the binaries' own library needs (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The on-screen display of lumhost play draws with this font; without it play runs without the display.
set(CPACK_DEBIAN_GYROTRAIL_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_DEBIAN_GYROTRAIL_PACKAGE_NAME gyrotrail)
get_property(front_end_components GLOBAL PROPERTY GYROTRAIL_PACKAGE_COMPONENTS)
set(CPACK_COMPONENTS_ALL gyrotrail ${front_end_components})
foreach(component IN LISTS front_end_components)
  string(TOUPPER ${component} COMPONENT)
  foreach(field NAME SECTION SUMMARY DESCRIPTION RECOMMENDS)
    get_property(${field} GLOBAL PROPERTY GYROTRAIL_PACKAGE_${component}_${field})
  endforeach()
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${NAME})
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_SECTION ${SECTION})
  if(RECOMMENDS)
    set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_RECOMMENDS "${RECOMMENDS}")
  endif()
  set(CPACK_DEBIAN_${COMPONENT}_DESCRIPTION "${SUMMARY}\n${DESCRIPTION}")
  # Its own libraries' packages come from dpkg-shlibdeps as well.
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_DEPENDS "gyrotrail (= ${PROJECT_VERSION})")
endforeach()
include(CPack)
