# The Debian package, built by CPack from the install rules above:
# build/package/gyrotrail_<version>_<arch>.deb (scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gyrotrail)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norvandelworks")
set(CPACK_PACKAGE_CONTACT "Norvandelworks <gyrotrail@norvandelworks.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://gyrotrail.norvandelworks.example")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sound-visualisation plug-in gyrotrail.lum and its host lumhost")
# The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the long text.
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
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies from the binaries' own library needs (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The on-screen display of lumhost play draws with this font; without it play runs without the display.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

# One package per install component: what has none is gyrotrail itself.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME gyrotrail)

# The VLC module (COMPONENT vlc) in gyrotrail-vlc, so that whoever wants
# lumhost alone is not given VLC (libvlccore) with it.
set(CPACK_DEBIAN_VLC_PACKAGE_NAME gyrotrail-vlc)
set(CPACK_DEBIAN_VLC_PACKAGE_DEPENDS "gyrotrail (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_VLC_PACKAGE_RECOMMENDS "vlc | vlc-bin")
set(CPACK_DEBIAN_VLC_PACKAGE_ENHANCES "vlc")
set(CPACK_DEBIAN_VLC_PACKAGE_SECTION video)
# CPack gives every package the summary line above; this is the long text.
set(CPACK_COMPONENT_VLC_DESCRIPTION "The VLC module: the module lum shows gyrotrail.lum, or any other .lum plug-in lumhost
finds, as one of VLC's visualisations: choose it with
--audio-visual=lum, or in VLC's preferences (Audio, Visualisation). Its
options (--lum-plugin, --lum-set, --lum-preset, --lum-width, --lum-height,
--lum-fps) are under the module in the preferences.")

include(CPack)
