# package-compress-man.cmake — run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the
# files staged for the packages: compresses each manual page and each
# package's changelog with gzip -9n, as Debian's packages ship them (no name
# or time stamp inside, so the same file gives the same bytes).
file(GLOB_RECURSE tessel_pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.[1-9]")
file(GLOB_RECURSE tessel_changelogs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/changelog")
foreach(page IN LISTS tessel_pages tessel_changelogs)
  if(page MATCHES "/share/man/man[1-9]/[^/]+$" OR page MATCHES "/share/doc/[^/]+/changelog$")
    execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "gzip ${page}: ${status}")
    endif()
  endif()
endforeach()
