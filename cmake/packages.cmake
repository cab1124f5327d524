# The Debian packages beside gyrotrail itself. A front end that would bring a
# large program's libraries with it (OBS Studio, VLC) installs into a
# component of its own and names it here; dist/package.cmake makes each such
# component a package that depends on gyrotrail of the same version, so
# people who only want lumhost never install that program.
#
#   gyrotrail_package(COMPONENT PACKAGE SECTION SUMMARY DESCRIPTION [RECOMMENDS])
#
# Install rules without a component go to the gyrotrail package.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME gyrotrail)

function(gyrotrail_package component package section summary description)
  set_property(GLOBAL APPEND PROPERTY GYROTRAIL_PACKAGE_COMPONENTS ${component})
  set_property(GLOBAL PROPERTY GYROTRAIL_PACKAGE_${component}_NAME "${package}")
  set_property(GLOBAL PROPERTY GYROTRAIL_PACKAGE_${component}_SECTION "${section}")
  set_property(GLOBAL PROPERTY GYROTRAIL_PACKAGE_${component}_SUMMARY "${summary}")
  set_property(GLOBAL PROPERTY GYROTRAIL_PACKAGE_${component}_DESCRIPTION "${description}")
  set_property(GLOBAL PROPERTY GYROTRAIL_PACKAGE_${component}_RECOMMENDS "${ARGV5}")
endfunction()
