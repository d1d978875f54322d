# Read by cpack before it builds the packages. Each library package's symbols
# file must list exactly what the built library exports, and its Depends are
# what dpkg-shlibdeps finds that library needs.
# Every time stamp in a package is the changelog's latest, as dpkg-buildpackage
# would have it, unless the caller sets SOURCE_DATE_EPOCH: two package builds
# of one commit give the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND dpkg-parsechangelog -l ${CPACK_VELTRIX_CHANGELOG} -STimestamp
    OUTPUT_VARIABLE timestamp OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(ENV{SOURCE_DATE_EPOCH} ${timestamp})
endif()
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(work ${CPACK_TOPLEVEL_DIRECTORY}/veltrix-libraries)
file(REMOVE_RECURSE ${work})
# dpkg-shlibdeps looks for a source package; an empty one does.
file(WRITE ${work}/debian/control "")
# Symbols of the upstream version count as missing when a package of a later
# one lacks them.
set(version ${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
foreach(package IN LISTS CPACK_VELTRIX_LIBRARY_PACKAGES)
  string(TOUPPER ${package} component)
  set(library ${CPACK_VELTRIX_${component}_LIBRARY})
  execute_process(
    COMMAND dpkg-gensymbols -p${package} -v${version} -P${work}/${package}
      -e${library} -I${CPACK_VELTRIX_${component}_SYMBOLS} -O${work}/${package}.symbols -c4
    WORKING_DIRECTORY ${work}
    INPUT_FILE /dev/null
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${library} does not export what the symbols file of ${package} lists:\n${output}")
  endif()
  execute_process(
    COMMAND dpkg-shlibdeps -O ${library}
    WORKING_DIRECTORY ${work}
    INPUT_FILE /dev/null
    RESULT_VARIABLE result
    OUTPUT_VARIABLE depends
    ERROR_VARIABLE error)
  if(NOT result EQUAL 0 OR NOT depends MATCHES "^shlibs:Depends=([^\n]*)")
    message(FATAL_ERROR "dpkg-shlibdeps failed on ${library}:\n${error}")
  endif()
  set(CPACK_DEBIAN_${component}_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
endforeach()
