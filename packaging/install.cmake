# What `cmake --install` puts where, and the packages CPack makes of it.
#
# Linux (GNUInstallDirs): the host in bin/, the plug-in and its resource
# library in lib/.../zeduz/ (where the host finds them, relative to itself,
# under any prefix), the host binding headers in include/zeduztiff/, their
# pkg-config file, the man page, the bash completion and the package's
# copyright and changelog. `cpack -G DEB` in a Release build makes the
# Debian package, its dependencies from the libraries the binaries link.
#
# Windows: the two DLLs, the host and a short README side by side, as a
# user puts them beside a scanning application; `cpack -G ZIP` zips them.
include(GNUInstallDirs)

set(ZEDUZ_PACKAGE_NAME zeduz-tiff)
set(ZEDUZ_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/zeduz)
file(RELATIVE_PATH ZEDUZ_PLUGIN_DIR_FROM_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}
  ${CMAKE_INSTALL_FULL_LIBDIR}/zeduz)
configure_file(${CMAKE_CURRENT_LIST_DIR}/install_layout.h.in ${CMAKE_BINARY_DIR}/generated/install_layout.h @ONLY)

set(ZEDUZ_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(ZEDUZ_LIBRARY_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The man page, made from the host's --help (make_manpage.py), and its
# compressed copy that is installed.
function(zeduz_add_man_page)
  set(page ${CMAKE_BINARY_DIR}/man/zeduz-tiff.1)
  add_custom_command(
    OUTPUT ${page} ${page}.gz
    COMMAND ${Python3_EXECUTABLE} ${ZEDUZ_PACKAGING_DIR}/make_manpage.py $<TARGET_FILE:zeduz_host>
      ${ZEDUZ_PACKAGING_DIR}/zeduz-tiff.1.in ${PROJECT_VERSION} ${ZEDUZ_PLUGIN_DIR_FROM_PROGRAM} ${page} ${page}.gz
    DEPENDS zeduz_host ${ZEDUZ_PACKAGING_DIR}/make_manpage.py ${ZEDUZ_PACKAGING_DIR}/zeduz-tiff.1.in
    COMMENT "Making the man page zeduz-tiff.1 from zeduz-tiff --help")
  add_custom_target(zeduz_man_page ALL DEPENDS ${page} ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# The pkg-config file names the prefix installed to, which `cmake --install
# --prefix` and CPack choose only at install time.
function(zeduz_install_pkg_config_file)
  set(ZEDUZ_PC_PREFIX "@ZEDUZ_PC_PREFIX@")  # left for install time
  foreach(kind LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
      set(ZEDUZ_PC_${kind} "${CMAKE_INSTALL_${kind}}")
    else()
      set(ZEDUZ_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
    endif()
  endforeach()
  set(ZEDUZ_PC_LIBS "")
  if(CMAKE_DL_LIBS)
    set(ZEDUZ_PC_LIBS "-l${CMAKE_DL_LIBS}")  # dlopen
  endif()
  set(template ${CMAKE_BINARY_DIR}/packaging/zeduztiff.pc.in)
  configure_file(${ZEDUZ_PACKAGING_DIR}/zeduztiff.pc.in ${template} @ONLY)
  install(CODE "
    set(ZEDUZ_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${template}\" \"${CMAKE_BINARY_DIR}/packaging/zeduztiff.pc\" @ONLY)
    file(INSTALL \"${CMAKE_BINARY_DIR}/packaging/zeduztiff.pc\"
      DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\")")
endfunction()

# The Debian changelog of a native package (one entry: this version), the
# copyright file and what lintian is told to let pass.
function(zeduz_install_debian_files)
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)  # SOURCE_DATE_EPOCH, when set
  set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog)
  file(WRITE ${changelog}
    "${ZEDUZ_PACKAGE_NAME} (${PROJECT_VERSION}) stable; urgency=medium\n\n"
    "  * Version ${PROJECT_VERSION}, built from its source.\n\n"
    " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")
  execute_process(COMMAND ${Python3_EXECUTABLE} -c
    "import gzip,sys; open(sys.argv[2],'wb').write(gzip.compress(open(sys.argv[1],'rb').read(),9,mtime=0))"
    ${changelog} ${changelog}.gz COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${changelog}.gz ${ZEDUZ_PACKAGING_DIR}/debian/copyright
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ZEDUZ_PACKAGE_NAME})
  install(FILES ${ZEDUZ_PACKAGING_DIR}/debian/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${ZEDUZ_PACKAGE_NAME})
endfunction()

set(CPACK_PACKAGE_NAME ${ZEDUZ_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Zeduz")
set(CPACK_PACKAGE_CONTACT "Zeduz developers <developers@zeduz.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "multi-page TIFF from scans: scanning plug-in and command-line host")
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_STRIP_FILES ON)  # the packages need no symbols

if(WIN32)
  set(ZEDUZ_WINDOWS_PARTS zeduztiff zeduz_host)
  if(TARGET vizazira)
    list(APPEND ZEDUZ_WINDOWS_PARTS vizazira)
  endif()
  install(TARGETS ${ZEDUZ_WINDOWS_PARTS} RUNTIME DESTINATION . ARCHIVE DESTINATION lib EXCLUDE_FROM_ALL)
  # Beside a scanning application's own files: a name that is not theirs.
  install(FILES ${ZEDUZ_PACKAGING_DIR}/windows/README.txt DESTINATION . RENAME ZeduzTiff-README.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
elseif(TARGET zeduz_host)
  install(TARGETS zeduz_host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS zeduztiff vizazira LIBRARY DESTINATION ${ZEDUZ_PLUGIN_INSTALL_DIR}
    PERMISSIONS ${ZEDUZ_LIBRARY_PERMISSIONS})
  install(FILES ${CMAKE_SOURCE_DIR}/entry/host_records.h ${ZEDUZ_PACKAGING_DIR}/include/zeduztiff/zeduztiff.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zeduztiff)
  zeduz_install_pkg_config_file()
  zeduz_add_man_page()
  install(FILES ${ZEDUZ_PACKAGING_DIR}/zeduz-tiff.bash
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME zeduz-tiff)
  zeduz_install_debian_files()

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The host loads SANE when it scans, so the linker does not name it.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsane1")
  string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "The multi-page TIFF file-format plug-in of a scanning application, which\n"
    "writes each scanned page as a baseline TIFF page (RGB, grey, palette,\n"
    "black and white; raw, LZW, Deflate or CCITT Group 4) and appends later\n"
    "scans to the same file; and zeduz-tiff, its command-line host, which\n"
    "turns PNM and PNG scans into one multi-page TIFF file or scans straight\n"
    "from a scanner through SANE. With the host binding headers and their\n"
    "pkg-config file, for scanning applications that load the plug-in.")
endif()

include(CPack)
