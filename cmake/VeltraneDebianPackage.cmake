# The Debian package of the Linux tools (`make deb`, CPack's DEB generator): veltrane-flash,
# veltrane-pack and handset-sim in /usr/bin, and their man pages in /usr/share/man/man1, made
# at build time from each program's own --help and --version (tools/make_man_page.py) and
# gzipped as Debian wants them. Nothing else of the tree is installed.
if(VELTRANE_WINDOWS)
  return()
endif()

set(VELTRANE_DEB_PROGRAMS veltrane-flash veltrane-pack handset-sim)
# The NAME line of each page: the one thing a page says that the help text does not.
set(veltrane_summary_veltrane-flash "flash MSM7200A handsets in download mode from a terminal")
set(veltrane_summary_veltrane-pack "build, list, verify and extract Veltrane firmware packages")
set(veltrane_summary_handset-sim "a simulated MSM7200A handset in download mode behind a pseudo-terminal")

set(man_script ${PROJECT_SOURCE_DIR}/tools/make_man_page.py)
set(man_pages "")
foreach(program IN LISTS VELTRANE_DEB_PROGRAMS)
  set(others ${VELTRANE_DEB_PROGRAMS})
  list(REMOVE_ITEM others ${program})
  list(JOIN others "," see_also)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${Python3_EXECUTABLE} ${man_script} --program $<TARGET_FILE:${program}>
            --summary "${veltrane_summary_${program}}" --see-also ${see_also} ${page}
    DEPENDS ${program} ${man_script}
    COMMENT "Man page of ${program}"
    VERBATIM)
  list(APPEND man_pages ${page})
endforeach()
add_custom_target(veltrane_man_pages ALL DEPENDS ${man_pages})
set(VELTRANE_MAN_PAGES ${man_pages} CACHE INTERNAL "")

install(TARGETS ${VELTRANE_DEB_PROGRAMS} RUNTIME DESTINATION bin)
install(FILES ${man_pages} DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Veltrane")
set(CPACK_PACKAGE_CONTACT "Veltrane maintainers <maintainers@veltrane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware flasher for MSM7200A Windows Mobile handsets (Linux tools)")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "veltrane-flash flashes handsets that are in download mode through a serial\n"
  "port: the flash programmer, the partition table, the images of a firmware\n"
  "package, and reset; several handsets at once. veltrane-pack builds, lists,\n"
  "verifies and extracts firmware packages. handset-sim plays a handset in\n"
  "download mode behind a pseudo-terminal, to try both without a handset.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/deb)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # veltrane_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The architecture is dpkg's (amd64 here); the dependencies are dpkg-shlibdeps' (libc6,
# libstdc++6, libgcc-s1 at the versions the build linked against).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Only the package generator's files: no source package.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
