# Installation: the shared library, the header, a pkg-config file and a CMake package, so that
# other builds find the library with pkg-config or with find_package(quorvantelmise). A second
# pkg-config file in the build tree (pkgconfig/quorvantelmise.pc) points at the build tree, so
# the Swift package builds against it without installing.
include(CMakePackageConfigHelpers)

add_library(quorvantelmise::quorvantelmise ALIAS quorvantelmise)

install(TARGETS quorvantelmise EXPORT quorvantelmiseTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/quorvantelmise.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(QV_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorvantelmise)
install(EXPORT quorvantelmiseTargets NAMESPACE quorvantelmise::
  DESTINATION ${QV_CMAKE_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/quorvantelmiseConfig.cmake.in
  ${PROJECT_BINARY_DIR}/quorvantelmiseConfig.cmake
  INSTALL_DESTINATION ${QV_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/quorvantelmiseConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/quorvantelmiseConfig.cmake
  ${PROJECT_BINARY_DIR}/quorvantelmiseConfigVersion.cmake
  DESTINATION ${QV_CMAKE_PACKAGE_DIR})

# The installed pkg-config file finds its prefix from where it lies, so an install under
# another prefix (cmake --install --prefix) stays right.
set(QV_PC_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${QV_PC_INSTALL_DIR}")
  set(QV_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH QV_PC_UP "/${QV_PC_INSTALL_DIR}" "/")
  set(QV_PC_PREFIX "\${pcfiledir}/${QV_PC_UP}")
  string(REGEX REPLACE "/$" "" QV_PC_PREFIX "${QV_PC_PREFIX}")
endif()
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(QV_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(QV_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/quorvantelmise.pc.in
  ${PROJECT_BINARY_DIR}/install-pkgconfig/quorvantelmise.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/install-pkgconfig/quorvantelmise.pc
  DESTINATION ${QV_PC_INSTALL_DIR})

set(QV_PC_PREFIX "${PROJECT_BINARY_DIR}")
set(QV_PC_LIBDIR "$<TARGET_FILE_DIR:quorvantelmise>")
set(QV_PC_INCLUDEDIR "${PROJECT_SOURCE_DIR}/include")
configure_file(${PROJECT_SOURCE_DIR}/cmake/quorvantelmise.pc.in
  ${PROJECT_BINARY_DIR}/quorvantelmise-build.pc.in @ONLY)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/pkgconfig/quorvantelmise.pc
  INPUT ${PROJECT_BINARY_DIR}/quorvantelmise-build.pc.in)
