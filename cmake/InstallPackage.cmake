# `cmake --install` places ini.h, the libraries and a package configuration,
# so that another CMake project can find_package(inifile) and link
# inifile::inifile.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(FILES inifile/ini.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The platform layer is a private dependency of the static inifile library,
# so its archive is installed with it.
install(TARGETS inifile platform EXPORT inifileTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT inifileTargets NAMESPACE inifile::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/inifile)

configure_package_config_file(cmake/inifileConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/inifileConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/inifile)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/inifileConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/inifileConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/inifileConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/inifile)
