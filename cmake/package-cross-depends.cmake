# package-cross-depends.cmake — run by cpack in a cross build
# (CPACK_PROJECT_CONFIG_FILE): the Depends of each package, from the
# libraries its executable needs on the target.
#
# dpkg-shlibdeps finds the target's libraries in the cross toolchain's
# directory (CPACK_TESSEL_CROSS_LIBDIR), owned by Debian's cross packages,
# whose shlibs and symbols files name the dependency either as the target's
# package qualified by architecture ("libc6:armhf (>= 2.36)") or as the cross
# package itself ("libgcc-s1-armhf-cross (>= 3.5)"). Both are the target's
# package of the same source: "libc6 (>= 2.36)", "libgcc-s1 (>= 3.5)".
include("${CPACK_TESSEL_EXECUTABLES_FILE}")
set(arch "${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}")
set(work "${CPACK_PACKAGE_DIRECTORY}/_shlibdeps")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}/debian")
# dpkg-shlibdeps wants a control file naming a package of the architecture.
file(WRITE "${work}/debian/control" "Source: tessel\n\nPackage: tessel\nArchitecture: ${arch}\n")

foreach(component TESSEL MODEM-SIM)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_HOST_ARCH=${arch}
            dpkg-shlibdeps -O "-l${CPACK_TESSEL_CROSS_LIBDIR}" "${tessel_executable_${component}}"
    WORKING_DIRECTORY "${work}"
    RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE complaints)
  if(NOT status EQUAL 0 OR NOT said MATCHES "shlibs:Depends=([^\n]*)")
    message(FATAL_ERROR "dpkg-shlibdeps on ${tessel_executable_${component}}: ${complaints}")
  endif()
  set(depends "${CMAKE_MATCH_1}")
  string(REPLACE ":${arch}" "" depends "${depends}")
  string(REPLACE "-${arch}-cross" "" depends "${depends}")
  if(CPACK_DEBIAN_${component}_PACKAGE_DEPENDS)
    string(APPEND depends ", ${CPACK_DEBIAN_${component}_PACKAGE_DEPENDS}")
  endif()
  set(CPACK_DEBIAN_${component}_PACKAGE_DEPENDS "${depends}")
endforeach()
file(REMOVE_RECURSE "${work}")
