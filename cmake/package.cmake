# Debian package of the whole installation, made with `cpack -G DEB` in the
# build directory: both programs and their manual pages, the headers, the
# libraries, the CMake package and the pkg-config file, all under /usr.

set(CPACK_PACKAGE_NAME treeval)
set(CPACK_PACKAGE_VENDOR "treeval developers")
set(CPACK_PACKAGE_CONTACT "treeval developers <developers@treeval.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read and set values in XML files by XPath expressions")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "treeval prints the values of the nodes that an XPath
expression selects in an XML file, or stores a value at the place the
expression names, creating the file, missing elements and attributes, and
replacing the file atomically. absname prints the canonical absolute form of
a path name. The package also holds the document store and logging libraries
with their headers, a CMake package and a pkg-config file.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The programs load libxml2 at run time; programs built against the libraries
# also need its development files to link.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxml2 (>= 2.9)")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libxml2-dev, pkg-config")
# The C and C++ runtime dependencies are read from the programs themselves
# where the Debian tools for that are installed.
find_program(TREEVAL_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(TREEVAL_FILE_PROGRAM file)
if(TREEVAL_DPKG_SHLIBDEPS AND TREEVAL_FILE_PROGRAM)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
