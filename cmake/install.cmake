# Installs the programs, the public headers, both libraries, a CMake package
# (find_package(treeval CONFIG) gives treeval::xmlstore and treeval::trace)
# and a pkg-config file.

include(CMakePackageConfigHelpers)

install(TARGETS treeval absname RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS trace xmlstore EXPORT treevalTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/treeval DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")

set(TREEVAL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/treeval)
install(EXPORT treevalTargets NAMESPACE treeval:: DESTINATION ${TREEVAL_CMAKE_DIR})
configure_package_config_file(cmake/treevalConfig.cmake.in
  ${PROJECT_BINARY_DIR}/treevalConfig.cmake INSTALL_DESTINATION ${TREEVAL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/treevalConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/treevalConfig.cmake
  ${PROJECT_BINARY_DIR}/treevalConfigVersion.cmake DESTINATION ${TREEVAL_CMAKE_DIR})

# The pkg-config file finds the installation from where it lies itself, so it
# stays right under any prefix: a packaged tree installs elsewhere than the
# prefix the build was configured with.
file(RELATIVE_PATH TREEVAL_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TREEVAL_PC_TO_PREFIX "${TREEVAL_PC_TO_PREFIX}")
configure_file(cmake/treeval.pc.in ${PROJECT_BINARY_DIR}/treeval.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/treeval.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(FILES docs/absname.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES docs/treeval.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
