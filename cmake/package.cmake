# package.cmake — the Debian packages, made by CPack from the install rules
# (cmake/install.cmake): run `cpack` in a build directory (scripts/package,
# `make package`).
#
#   tessel            the tool, its man page, README, the boot-time units and
#                     the udev rule (installed, enabled by nothing), the
#                     example settings
#   tessel-modem-sim  the modem simulator, for tests and trying without hardware
#   tessel-mender     the Mender update module and inventory script (shell
#                     scripts: Architecture all)
#
# The first two come out of every build: from the host build for this
# machine, from a cross build (cmake/armhf.cmake) for armhf; tessel-mender
# from the host build alone. The packages land in <build>/packages/.
# scripts/package configures the build with Debian's hardening flags
# (dpkg-buildflags, hardening=+all) before cpack runs; a build configured by
# hand gets them only when given them (CMAKE_CXX_FLAGS, ...).
set(TESSEL_PACKAGE_MAINTAINER "tessel maintainers <tessel-maintainers@example.org>"
    CACHE STRING "The Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessel)
set(CPACK_PACKAGE_VENDOR "tessel")
set(CPACK_PACKAGE_CONTACT "${TESSEL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
if(CMAKE_CROSSCOMPILING)
  set(CPACK_COMPONENTS_ALL tessel modem-sim)
else()
  set(CPACK_COMPONENTS_ALL tessel modem-sim mender)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TESSEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Both come from one source tree, whose changelog they ship
# (cmake/install.cmake), signed by the Maintainer.
set(CPACK_DEBIAN_PACKAGE_SOURCE tessel)
configure_file(${PROJECT_SOURCE_DIR}/doc/debian/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)

set(CPACK_DEBIAN_TESSEL_PACKAGE_NAME tessel)
set(CPACK_DEBIAN_TESSEL_PACKAGE_SECTION net)
set(CPACK_DEBIAN_TESSEL_PACKAGE_SUGGESTS libmbim-proxy)
# Before it opens a device node the tool runs "ps -eT | grep mbim-proxy"
# (procps' ps): without it every run would fail at connect. The libraries'
# Depends are added to this one (dpkg-shlibdeps, package-cross-depends.cmake).
set(CPACK_DEBIAN_TESSEL_PACKAGE_DEPENDS procps)
# The units are Debian's kind: installed, enabled by nothing; the
# maintainer scripts do what dh_installsystemd does for those (systemd
# reloaded, the links of an enabled unit removed on purge).
set(CPACK_DEBIAN_TESSEL_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/doc/debian/tessel/postinst ${PROJECT_SOURCE_DIR}/doc/debian/tessel/postrm)
set(CPACK_COMPONENT_TESSEL_DESCRIPTION
"keeps a cellular modem's SAR table up to date over MBIM
tessel talks to a cellular modem through MBIM control messages, directly on
its device node (/dev/cdc-wdm0) or through libmbim's mbim-proxy. Its
sar_tool compares the modem's SAR table with a table file by MD5 digest,
writes and applies the file when they differ, and with --strict says by its
exit status and one summary line whether the modem now holds it; --check
only compares, --save reads the modem's table into a verified backup file.
Its debug_tool sends one AT command through the modem's MBIM AT tunnel.
The package installs systemd units and a udev rule that update the table at
boot or whenever an MBIM modem's node appears; they enable nothing and do
nothing until /etc/default/tessel is written (example settings in
/usr/share/doc/tessel/examples/).")

set(CPACK_DEBIAN_MODEM-SIM_PACKAGE_NAME tessel-modem-sim)
set(CPACK_DEBIAN_MODEM-SIM_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_MODEM-SIM_DESCRIPTION
"MBIM modem simulator for trying and testing tessel
tessel-modem-sim plays an MBIM modem with a SAR table store and an AT
tunnel on a pseudo-terminal, on libmbim's abstract socket or on a socket
file, so that tessel can be tried and tested without hardware. It has knobs
for faults: BUSY answers, error statuses, missing answers, hang-ups and
malformed traffic. tessel-modem-sim --help lists them.")

set(CPACK_DEBIAN_MENDER_PACKAGE_NAME tessel-mender)
set(CPACK_DEBIAN_MENDER_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_MENDER_PACKAGE_ARCHITECTURE all)
# The module runs sar_tool --query and --save, which come with this version.
set(CPACK_DEBIAN_MENDER_PACKAGE_DEPENDS "tessel (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_MENDER_PACKAGE_ENHANCES mender-client)
set(CPACK_COMPONENT_MENDER_DESCRIPTION
"Mender update module and inventory script for tessel's SAR tables
With mender-client, a fleet's SAR tables are deployed as Mender artifacts
of type tessel-sar (mender-artifact write module-image -T tessel-sar). The
update module backs the modem's table up before it writes the artifact's
table with tessel, and writes the backup back when the deployment rolls
back; an item that holds no table yet is written without a backup. The
inventory script reports the digest of the table the modem holds for each
item of the device (sar_table_item, sar_table_md5, sar_table_md5_N). Both
read the device's settings from /etc/default/tessel.")

# Depends: from the libraries the executables need, by dpkg-shlibdeps.
if(NOT CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  # The package's architecture is the target's, not this machine's.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
                  OUTPUT_VARIABLE tessel_triplet OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND dpkg-architecture -t${tessel_triplet} -qDEB_HOST_ARCH
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    message(WARNING "no Debian architecture for ${tessel_triplet}: packages cannot be made")
  endif()
  # Here the target's libraries belong to the cross toolchain's packages
  # (libc6-armhf-cross, ...), which dpkg-shlibdeps would name: the Depends
  # are worked out when cpack runs, from the built executables, and turned
  # into the target's package names (package-cross-depends.cmake).
  set(CPACK_TESSEL_CROSS_LIBDIR "${CMAKE_FIND_ROOT_PATH}/lib")
  set(CPACK_TESSEL_EXECUTABLES_FILE "${CMAKE_BINARY_DIR}/package-executables.cmake")
  file(GENERATE OUTPUT "${CPACK_TESSEL_EXECUTABLES_FILE}" CONTENT
"set(tessel_executable_TESSEL \"$<TARGET_FILE:tessel>\")
set(tessel_executable_MODEM-SIM \"$<TARGET_FILE:tessel-modem-sim>\")
")
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/package-cross-depends.cmake)
endif()

# Debian ships manual pages and changelogs compressed.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package-compress-man.cmake)

include(CPack)
