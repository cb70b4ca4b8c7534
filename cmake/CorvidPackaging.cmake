# Installation and the Debian package.
#
# `cmake --install` puts the programs corvid and corvid-mkmdb, the desktop
# entry, the icon, the manual pages, the bash completion, the copyright and
# the changelog under the prefix; `cpack -G DEB` packs the same files into
# corvid_<version>_<arch>.deb (scripts/package.sh does both steps with the
# prefix /usr). The test fixtures and the test and benchmark programs are not
# installed. Included at the end of the top-level CMakeLists.txt, so that every
# target is known by name here.

include(GNUInstallDirs)

set(CORVID_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(CORVID_PACKAGE_OUT ${CMAKE_BINARY_DIR}/packaging)
set(CORVID_PACKAGE_VERSION ${PROJECT_VERSION})  # all four parts: 0.18.9.38
set(CORVID_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/corvid)

# ---- Programs -------------------------------------------------------------
set(corvid_programs "")
foreach(program corvid corvid-mkmdb)
  if(TARGET ${program})
    list(APPEND corvid_programs ${program})
  endif()
endforeach()
if(corvid_programs)
  install(TARGETS ${corvid_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# ---- Compressed documents: manual pages and changelog (gzip -9n, as Debian
# wants them: best compression, no name or time stamp inside) ---------------
configure_file(${CORVID_PACKAGING_DIR}/changelog.in ${CORVID_PACKAGE_OUT}/plain/changelog @ONLY)
set(corvid_compressed "")
foreach(source IN ITEMS ${CORVID_PACKAGING_DIR}/corvid.1 ${CORVID_PACKAGING_DIR}/corvid-mkmdb.1
                        ${CORVID_PACKAGE_OUT}/plain/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${CORVID_PACKAGE_OUT}/${name}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${CORVID_PACKAGE_OUT}/${name}
    COMMAND gzip -9nf ${CORVID_PACKAGE_OUT}/${name}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  list(APPEND corvid_compressed ${output})
endforeach()
add_custom_target(corvid_package_files ALL DEPENDS ${corvid_compressed})

install(FILES ${CORVID_PACKAGE_OUT}/corvid.1.gz ${CORVID_PACKAGE_OUT}/corvid-mkmdb.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The package's version has no Debian revision (a native package), whose
# changelog is changelog.gz.
install(FILES ${CORVID_PACKAGE_OUT}/changelog.gz DESTINATION ${CORVID_DOC_DIR})
install(FILES ${CORVID_PACKAGING_DIR}/copyright DESTINATION ${CORVID_DOC_DIR})

# ---- Desktop integration and shell completion -----------------------------
install(FILES ${CORVID_PACKAGING_DIR}/corvid.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CORVID_PACKAGING_DIR}/corvid.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(program corvid corvid-mkmdb)
  install(FILES ${CORVID_PACKAGING_DIR}/${program}.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program})
endforeach()

# ---- Tests of the packaging files ------------------------------------------
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/packaging/CMakeLists.txt)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/packaging ${CMAKE_BINARY_DIR}/tests/packaging)
endif()

# ---- CPack: the Debian package -----------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvid)
set(CPACK_PACKAGE_VENDOR "Corvid team")
set(CPACK_PACKAGE_CONTACT "Corvid team <corvid@tallowmere.example>")
# CPack keeps three parts of a version unless told all four.
set(CPACK_PACKAGE_VERSION ${CORVID_PACKAGE_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "extract the images and documents stored in Access databases")
set(CPACK_PACKAGE_DESCRIPTION
    "Corvid takes the embedded images and other binary documents out of one
table of a Microsoft Access database (.mdb or .accdb) and writes each of
them to a file of its own. It recognises the kind of each document (PDF,
JPEG, PNG, GIF, BMP, TIFF, metafiles, Office files and more), drops the OLE
wrapper that Access keeps in front of it, and names the file after one or
two fields of the record. A second mode carves TIFF images straight out of
the file's bytes.
.
It reads Jet 3, Jet 4 and ACE files through its own reader and has a desktop window,
an unattended command-line batch mode and a headless mode. The package also
holds corvid-mkmdb, which writes Access databases for tests and demos.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # corvid_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Corvid team <corvid@tallowmere.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # dependencies from the binaries (dpkg-shlibdeps)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
