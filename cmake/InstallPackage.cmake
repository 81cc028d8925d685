# `cmake --install` places include/inifile/ini.h and inifile.hpp (the C++
# classes over it), the libraries and a package configuration, so that
# another CMake project can find_package(inifile) and link inifile::inifile;
# inifile.pc beside it for pkg-config users; and the inifile command with
# its manual page. The headers have a folder of their own: other libraries
# install an ini.h of their own straight into include/.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(FILES include/inifile/ini.h include/inifile/inifile.hpp
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/inifile)
install(TARGETS inifile_command RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/command/inifile.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The static libraries are built in every build, and installed in every
# one. The file services are a private dependency of the static inifile
# library, so their archive comes with it. Neither needs the C++ runtime: a
# C program links both with its own compiler.
get_target_property(platform_name platform_files OUTPUT_NAME)
if(BUILD_SHARED_LIBS)
    # inifile::inifile is then the shared library, which carries the file
    # services inside; the static one beside it is inifile::inifile_static.
    set_target_properties(inifile PROPERTIES EXPORT_NAME inifile_static)
    install(TARGETS inifile_shared EXPORT inifileTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
    set(inifile_pc_libs "-linifile")
    set(inifile_pc_libs_private "-l${platform_name}")
else()
    set(inifile_pc_libs "-linifile -l${platform_name}")
    set(inifile_pc_libs_private "")
endif()
install(TARGETS inifile platform_files EXPORT inifileTargets
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

# The .pc file finds the prefix from its own place, as the CMake package
# does, so the installed tree can be moved (and --prefix chosen at install).
file(RELATIVE_PATH inifile_pc_prefix "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" inifile_pc_prefix "${inifile_pc_prefix}")
configure_file(cmake/inifile.pc.in ${CMAKE_CURRENT_BINARY_DIR}/inifile.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/inifile.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
