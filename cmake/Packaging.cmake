# cpack: the install() rules' files as one package per platform.
#   Linux:   quillmarpst_<version>_amd64.deb, installed under /usr. Configure
#            with -DCMAKE_INSTALL_PREFIX=/usr so that GNUInstallDirs picks the
#            multiarch lib/x86_64-linux-gnu, which pst2txt is compiled to
#            look in (any libdir works: pst2txt and the package agree).
#   Windows: QuillmarPST-<version>-win64.zip, one top folder holding bin/
#            (QuillmarPST.dll beside pst2txt.exe and pstgen.exe, which load it
#            from their own folder), include/, lib/ (the import library
#            QuillmarPST.lib) and README.md.
# scripts/package.sh builds both.

# README.md: in the zip's top folder; in the .deb where Debian keeps a
# package's documentation.
if(WIN32)
  install(FILES README.md DESTINATION .)
else()
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillmarpst)
endif()

set(CPACK_PACKAGE_NAME quillmarpst)
set(CPACK_PACKAGE_VENDOR "QuillmarPST")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "PST/OST mail archives exported to plain files, one directory per message")
set(CPACK_PACKAGE_DESCRIPTION
    "QuillmarPST.so is a shared library that a host loads with dlopen; its two C
functions export every message of a PST or OST archive into a directory of
plain files (mail.txt, headers.txt, the body and the attachments). pst2txt is
its command-line host, pstgen writes synthetic PST archives. The library
carries its own patched libpff, linked statically. Includes the C header, a
pkg-config file and a CMake package for hosts.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_CONTACT "QuillmarPST maintainers <maintainers@quillmarpst.example>"
    CACHE STRING "Maintainer named in the packages")
set(CPACK_STRIP_FILES ON)
# Packages land in BUILD_DIR/packages, apart from the build's own files.
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME QuillmarPST-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # <name>_<version>_<arch>.deb
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION mail)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends from what the ELF files really need (libc, libstdc++, libgcc,
  # zlib); libpff is linked in, so no libpff1.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Lintian-friendly permissions on the control directory's files.
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
