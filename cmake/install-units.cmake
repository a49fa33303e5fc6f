# install-units.cmake — run at install time (cmake --install, and CPack for
# the tessel package) to put the systemd units and the udev rule where
# systemd and udev read them for the prefix being installed to:
#
#   prefix /usr (the Debian package)  /lib/systemd/system, /lib/udev/rules.d
#   any other prefix P                P/lib/systemd/system, P/lib/udev/rules.d
#
# Debian's packages keep units and rules in /lib, not /usr/lib, and systemd
# and udev also read /usr/local/lib/systemd/system and
# /usr/local/lib/udev/rules.d, so a --prefix /usr/local install works as it
# lands. The decision is made here, not when configuring, because CPack
# installs with prefix /usr into a build configured for /usr/local.
#
# The units run /usr/bin/tessel, where the package puts it; under another
# prefix they run <prefix>/<bindir>/tessel instead, the tool installed with
# them. Set before this script runs (install.cmake): TESSEL_UNIT_SOURCES,
# TESSEL_RULE_SOURCE, TESSEL_UNIT_STAGING (a directory of the build tree
# for the rewritten units) and TESSEL_BINDIR (relative to the prefix).
string(REGEX REPLACE "/+$" "" tessel_prefix "${CMAKE_INSTALL_PREFIX}")
if(tessel_prefix STREQUAL "" OR tessel_prefix STREQUAL "/usr")
  set(tessel_root "")
  set(tessel_tool /usr/bin/tessel)
else()
  set(tessel_root "${tessel_prefix}")
  set(tessel_tool "${tessel_prefix}/${TESSEL_BINDIR}/tessel")
endif()

set(tessel_units "")
file(MAKE_DIRECTORY "${TESSEL_UNIT_STAGING}")
foreach(tessel_unit IN LISTS TESSEL_UNIT_SOURCES)
  get_filename_component(tessel_name "${tessel_unit}" NAME)
  file(READ "${tessel_unit}" tessel_text)
  string(REPLACE "\nExecStart=/usr/bin/tessel " "\nExecStart=${tessel_tool} " tessel_text
         "${tessel_text}")
  file(WRITE "${TESSEL_UNIT_STAGING}/${tessel_name}" "${tessel_text}")
  list(APPEND tessel_units "${TESSEL_UNIT_STAGING}/${tessel_name}")
endforeach()

# file(INSTALL) puts DESTDIR in front and records the files in the manifest.
file(INSTALL DESTINATION "${tessel_root}/lib/systemd/system" TYPE FILE FILES ${tessel_units})
file(INSTALL DESTINATION "${tessel_root}/lib/udev/rules.d" TYPE FILE FILES "${TESSEL_RULE_SOURCE}")
