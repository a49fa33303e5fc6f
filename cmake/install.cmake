# install.cmake — where `cmake --install` and the Debian packages put tessel.
#
#   <prefix>/bin/tessel                                  component tessel
#   <prefix>/share/man/man1/tessel.1
#   <prefix>/share/doc/tessel/README.md
#   <prefix>/share/doc/tessel/examples/tessel.default
#   <prefix>/share/doc/tessel/copyright, changelog
#   /lib/systemd/system/tessel-sar-update.service, tessel-sar-update@.service
#   /lib/udev/rules.d/70-tessel.rules
#     (for prefix /usr; under another prefix P: P/lib/systemd/system and
#     P/lib/udev/rules.d, the units running P/bin/tessel: install-units.cmake)
#   <prefix>/bin/tessel-modem-sim                        component modem-sim
#   <prefix>/share/man/man1/tessel-modem-sim.1
#   <prefix>/share/doc/tessel-modem-sim/copyright, changelog
#   <prefix>/share/mender/modules/v3/tessel-sar          component mender
#   <prefix>/share/mender/inventory/mender-inventory-tessel-sar
#   <prefix>/share/tessel-mender/tessel-mender-lib.sh    what both scripts share
#   <prefix>/share/doc/tessel-mender/copyright, changelog
#
# The simulator is for tests and for trying the tool without hardware, not
# for a device: a plain `cmake --install` leaves it out; it comes with
# `cmake --install <build> --component modem-sim` or the tessel-modem-sim
# package. Likewise the Mender update module and inventory script belong only
# on devices that run mender-client: `--component mender` or the
# tessel-mender package. The boot-time units and the udev rule are installed
# where systemd and udev read them, and are inert until /etc/default/tessel
# exists (the example settings): nothing is enabled or started. Each
# package's document directory holds the licence (Debian's copyright format)
# and a Debian changelog whose entry is this version; the packages ship the
# changelog compressed (package-compress-man.cmake).
include(GNUInstallDirs)

# The install and package targets do not build everything first: the files
# installed are the tool, the simulator and documents, while "all" is mostly
# the test suite. Build tessel and tessel-modem-sim before installing them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS tessel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tessel)
install(FILES ${PROJECT_SOURCE_DIR}/doc/tessel.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tessel)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tessel)
install(FILES ${PROJECT_SOURCE_DIR}/doc/examples/tessel.default
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT tessel)
# Where they go depends on the prefix installed to, known only then.
install(CODE "set(TESSEL_UNIT_SOURCES \"${PROJECT_SOURCE_DIR}/systemd/tessel-sar-update.service;\
${PROJECT_SOURCE_DIR}/systemd/tessel-sar-update@.service\")
set(TESSEL_RULE_SOURCE \"${PROJECT_SOURCE_DIR}/udev/70-tessel.rules\")
set(TESSEL_UNIT_STAGING \"${CMAKE_BINARY_DIR}/units\")
set(TESSEL_BINDIR \"${CMAKE_INSTALL_BINDIR}\")" COMPONENT tessel)
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/install-units.cmake COMPONENT tessel)

install(TARGETS tessel-modem-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT modem-sim EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/doc/tessel-modem-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT modem-sim EXCLUDE_FROM_ALL)

install(PROGRAMS ${PROJECT_SOURCE_DIR}/mender/tessel-sar
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mender/modules/v3 COMPONENT mender EXCLUDE_FROM_ALL)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/mender/mender-inventory-tessel-sar
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mender/inventory COMPONENT mender EXCLUDE_FROM_ALL)
# What the two scripts share, sourced by both (not a program of its own).
install(FILES ${PROJECT_SOURCE_DIR}/mender/tessel-mender-lib.sh
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/tessel-mender COMPONENT mender EXCLUDE_FROM_ALL)

# <build>/changelog: made by package.cmake, whose Maintainer signs its entry.
foreach(tessel_component tessel modem-sim mender)
  if(tessel_component STREQUAL tessel)
    set(tessel_docdir ${CMAKE_INSTALL_DOCDIR})
    set(tessel_optional "")
  else()
    if(tessel_component STREQUAL modem-sim)
      set(tessel_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessel-modem-sim)
    else()
      set(tessel_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessel-mender)
    endif()
    set(tessel_optional EXCLUDE_FROM_ALL)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/doc/debian/copyright ${CMAKE_BINARY_DIR}/changelog
          DESTINATION ${tessel_docdir} COMPONENT ${tessel_component} ${tessel_optional})
endforeach()
