# Run by cpack after the packages are built. cpack gives a package with a shared library
# scripts that call ldconfig; Debian's libraries leave that to the ldconfig trigger they
# activate (debian/library-triggers), so the library package is rebuilt without them.
foreach(package ${CPACK_PACKAGE_FILES})
  get_filename_component(name ${package} NAME)
  if(NOT name MATCHES "^libtallyvane-components[0-9]+_")
    continue()
  endif()
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/ldconfig-trigger/${name})
  file(REMOVE_RECURSE ${tree})
  file(MAKE_DIRECTORY ${CPACK_TOPLEVEL_DIRECTORY}/ldconfig-trigger)
  execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb -Zgzip --root-owner-group --build ${tree} ${package}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
