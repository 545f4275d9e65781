# SPDX-License-Identifier: MIT
# Installing and packaging: what `cmake --install` puts beside the program,
# the tool and the control library, and the Debian package CPack builds.
#
#   cmake --install build/default --prefix /usr/local   # registers the control for you
#   cpack --config build/default/CPackConfig.cmake      # tessaline_<version>_<arch>.deb

include(GNUInstallDirs)

set(TESSALINE_APP_ID io.github.tessaline.Tessaline)
set(TESSALINE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
option(TESSALINE_REGISTER_ON_INSTALL
       "Register the installed control for the installing user on cmake --install" ON)

# ---- Desktop integration ---------------------------------------------------

install(FILES ${TESSALINE_PACKAGING_DIR}/${TESSALINE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TESSALINE_PACKAGING_DIR}/${TESSALINE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TESSALINE_PACKAGING_DIR}/${TESSALINE_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${TESSALINE_PACKAGING_DIR}/${TESSALINE_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)

# ---- Manual pages, compressed as Debian keeps them --------------------------

find_program(TESSALINE_GZIP gzip)
set(tessaline_man_pages tessaline.1 tessaline-cli.1)
set(tessaline_man_outputs)
foreach(page ${tessaline_man_pages})
  set(source ${TESSALINE_PACKAGING_DIR}/${page})
  if(TESSALINE_GZIP)
    set(output ${PROJECT_BINARY_DIR}/packaging/${page}.gz)
    # -n: no name or time stamp inside, so the package builds the same twice.
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
      COMMAND ${TESSALINE_GZIP} -9 -n -c ${source} > ${output}
      DEPENDS ${source}
      COMMENT "Compressing the manual page ${page}"
      VERBATIM)
  else()
    set(output ${source})
  endif()
  list(APPEND tessaline_man_outputs ${output})
endforeach()
add_custom_target(tessaline-man ALL DEPENDS ${tessaline_man_outputs})
install(FILES ${tessaline_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# ---- The Ansible collection ---------------------------------------------------

# Built with ansible-galaxy where the build machine has it (Debian's
# ansible-core), and shipped for the controller to install:
#   ansible-galaxy collection install /usr/share/tessaline/ansible/tessaline-fleet-*.tar.gz
find_program(TESSALINE_ANSIBLE_GALAXY ansible-galaxy)
if(TESSALINE_ANSIBLE_GALAXY)
  set(tessaline_collection_dir ${TESSALINE_PACKAGING_DIR}/ansible)
  file(STRINGS ${tessaline_collection_dir}/galaxy.yml tessaline_collection_version
       REGEX "^version:")
  string(REGEX REPLACE "^version: *" "" tessaline_collection_version
         "${tessaline_collection_version}")
  set(tessaline_collection
      ${PROJECT_BINARY_DIR}/packaging/tessaline-fleet-${tessaline_collection_version}.tar.gz)
  file(GLOB_RECURSE tessaline_collection_sources CONFIGURE_DEPENDS ${tessaline_collection_dir}/*)
  add_custom_command(OUTPUT ${tessaline_collection}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND ${TESSALINE_ANSIBLE_GALAXY} collection build ${tessaline_collection_dir}
            --output-path ${PROJECT_BINARY_DIR}/packaging --force
    DEPENDS ${tessaline_collection_sources}
    COMMENT "Building the Ansible collection tessaline.fleet"
    VERBATIM)
  add_custom_target(tessaline-ansible-collection ALL DEPENDS ${tessaline_collection})
  install(FILES ${tessaline_collection} DESTINATION ${CMAKE_INSTALL_DATADIR}/tessaline/ansible)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/examples/ansible/playbook.yml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/tessaline/ansible)
else()
  message(STATUS "ansible-galaxy not found (package ansible-core): the Ansible collection is "
                 "not built nor installed")
endif()

# ---- The component ABI for other hosts, and its guide -----------------------

install(FILES ${PROJECT_SOURCE_DIR}/platform/component/include/tessaline/tessaline_component.h
              ${PROJECT_SOURCE_DIR}/platform/component/include/tessaline/tessaline_control.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tessaline)

# What a host builds against, for pkg-config (tessaline.pc) and for CMake
# (find_package(Tessaline)). Hosts load the control at run time, so neither
# links it: both give the headers and dlopen, and name the control's file.
# Both find the prefix relative to themselves, so a package staged under
# DESTDIR or unpacked elsewhere describes itself correctly.
include(CMakePackageConfigHelpers)
set(TESSALINE_CONTROL_FILE_NAME
    ${CMAKE_SHARED_LIBRARY_PREFIX}tessaline-control${CMAKE_SHARED_LIBRARY_SUFFIX})
set(TESSALINE_CONTROL_FILE ${CMAKE_INSTALL_LIBDIR}/${TESSALINE_CONTROL_FILE_NAME})
set(TESSALINE_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TESSALINE_PC_TO_PREFIX /${TESSALINE_PC_DIR} /)
string(REGEX REPLACE "/$" "" TESSALINE_PC_TO_PREFIX "${TESSALINE_PC_TO_PREFIX}")
set(TESSALINE_PC_LIBS)
foreach(lib ${CMAKE_DL_LIBS})
  string(APPEND TESSALINE_PC_LIBS " -l${lib}")
endforeach()
string(STRIP "${TESSALINE_PC_LIBS}" TESSALINE_PC_LIBS)
configure_file(${PROJECT_SOURCE_DIR}/cmake/tessaline.pc.in
               ${PROJECT_BINARY_DIR}/packaging/tessaline.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/tessaline.pc DESTINATION ${TESSALINE_PC_DIR})

set(TESSALINE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tessaline)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TessalineConfig.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/TessalineConfig.cmake
  INSTALL_DESTINATION ${TESSALINE_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR TESSALINE_CONTROL_FILE)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/TessalineConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/TessalineConfig.cmake
              ${PROJECT_BINARY_DIR}/packaging/TessalineConfigVersion.cmake
        DESTINATION ${TESSALINE_CMAKE_DIR})
set(TESSALINE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tessaline)
# Debian's place for the licence: the package's doc folder, file "copyright".
install(FILES ${TESSALINE_PACKAGING_DIR}/copyright DESTINATION ${TESSALINE_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/docs/component-abi.md
              ${PROJECT_SOURCE_DIR}/docs/component-registry.md
        DESTINATION ${TESSALINE_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/examples/pos_host.c
              ${PROJECT_SOURCE_DIR}/docs/examples/CMakeLists.txt
              ${PROJECT_SOURCE_DIR}/docs/examples/tessaline_ctypes.py
        DESTINATION ${TESSALINE_DOC_DIR}/examples)

# ---- Registering the installed control --------------------------------------
#
# The component registry is per user, so only the installing user can be
# registered here; everyone else's first run of tessaline-cli registers the
# installed library for them. Staged installs (DESTDIR, CPack) register
# nothing: the files are not where they will run from. Neither does root
# under sudo, whose registry file would land in the wrong home or belong to
# root.
if(TESSALINE_REGISTER_ON_INSTALL AND TARGET tessaline-cli AND TARGET tessaline-control)
  install(CODE "
    set(tessaline_cli \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessaline-cli\")
    set(tessaline_lib \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:tessaline-control>\")
    if(NOT \"\$ENV{DESTDIR}\" STREQUAL \"\")
      message(STATUS \"Staged install (DESTDIR): the control is registered on each user's first run\")
    elseif(CMAKE_INSTALL_PREFIX MATCHES \"/_CPack_Packages/\")
      # CPack's staging folder: the package registers on first run instead.
    elseif(NOT \"\$ENV{SUDO_USER}\" STREQUAL \"\")
      message(STATUS \"Installed under sudo: run 'tessaline-cli register' as yourself, or let the first run do it\")
    else()
      execute_process(COMMAND \"\${tessaline_cli}\" register \"\${tessaline_lib}\"
                      RESULT_VARIABLE tessaline_register_result)
      if(NOT tessaline_register_result EQUAL 0)
        message(WARNING \"Could not register the installed control \${tessaline_lib}; run: \${tessaline_cli} register\")
      endif()
    endif()
  ")
endif()

# ---- The Debian package -----------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME tessaline)
set(CPACK_PACKAGE_VENDOR "Tessaline")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tessaline maintainers <tessaline@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "store shop logos in thermal receipt printers' NV memory")
# The long description; CPack puts the summary line before it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tessaline sets up thermal receipt printers for shops. It stores the shop's
logos in the printer's non-volatile (NV) image memory, erases that memory,
and prints the stored logos back by number, over CUPS raw queues described
\"THERMAL #1\" to \"THERMAL #15\".
.
The package holds the Qt program tessaline, the command-line tool
tessaline-cli for scripted set-up and virtual printers, and the control
library libtessaline-control.so that other programs can host. The control
is registered per user, on each user's first run.")
# A package installs under /usr whatever prefix the build was configured
# with; the tool finds the library relative to itself.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the binaries themselves (Qt 6, libcups2, libpng16-16,
# libstdc++6, libc6), found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Real printers need a CUPS server, local or on the network.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups-daemon")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cups-client")
set(CPACK_STRIP_FILES ON)
include(CPack)
