# The Debian packages kora and kora-lab (scripts/package): install rules per component and
# CPack's DEB generator. Included only when KORA_PACKAGE is on.
include(${CMAKE_CURRENT_LIST_DIR}/QmlDepends.cmake)

# The installed client keeps its folders in the user's data folder (src/app/main.cpp).
target_compile_definitions(kora PRIVATE KORA_USER_DATA)

# "cpack" installs only what the packages hold; scripts/package builds those targets itself
# rather than the whole tree with its tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(pkg ${PROJECT_SOURCE_DIR}/packaging)
set(pkg_out ${PROJECT_BINARY_DIR}/packaging)
set(KORA_MAINTAINER "KORA developers <kora@example.org>")

# `source` compressed to `target` as Debian wants it: gzip -9 without a name or timestamp.
function(kora_gzip source target)
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${target} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip of ${source} failed")
  endif()
endfunction()

# A native package's changelog.
function(kora_changelog package out)
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE ${pkg_out}/${package}/changelog
    "${package} (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION}.\n\n"
    " -- ${KORA_MAINTAINER}  ${date}\n")
  kora_gzip(${pkg_out}/${package}/changelog ${pkg_out}/${package}/changelog.gz)
  set(${out} ${pkg_out}/${package}/changelog.gz PARENT_SCOPE)
endfunction()

# A manual page from packaging/.
function(kora_manpage page out)
  file(MAKE_DIRECTORY ${pkg_out}/man)
  kora_gzip(${pkg}/${page} ${pkg_out}/man/${page}.gz)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pkg}/${page})
  set(${out} ${pkg_out}/man/${page}.gz PARENT_SCOPE)
endfunction()

# kora: the client, its menu entry and icon, the kiosk session.
install(TARGETS kora RUNTIME DESTINATION bin COMPONENT kora)
install(FILES ${pkg}/kora.desktop DESTINATION share/applications COMPONENT kora)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kora.svg DESTINATION share/icons/hicolor/scalable/apps COMPONENT kora)
install(FILES ${pkg}/kora-session.desktop DESTINATION share/xsessions RENAME kora.desktop COMPONENT kora)
kora_changelog(kora kora_changelog)
install(FILES ${pkg}/copyright ${kora_changelog} DESTINATION share/doc/kora COMPONENT kora)
install(FILES ${pkg}/README.kora DESTINATION share/doc/kora RENAME README COMPONENT kora)
kora_manpage(kora.1 kora_man)
install(FILES ${kora_man} DESTINATION share/man/man1 COMPONENT kora)

# kora-lab: the simulated installation with the sample packages it serves by default.
install(TARGETS kora-lab RUNTIME DESTINATION bin COMPONENT lab)
install(DIRECTORY ${PROJECT_BINARY_DIR}/samples/lab ${PROJECT_BINARY_DIR}/samples/legacy
  DESTINATION share/kora-lab/samples COMPONENT lab)
kora_changelog(kora-lab lab_changelog)
install(FILES ${pkg}/copyright ${lab_changelog} DESTINATION share/doc/kora-lab COMPONENT lab)
install(FILES ${pkg}/README.kora-lab DESTINATION share/doc/kora-lab RENAME README COMPONENT lab)
kora_manpage(kora-lab.1 lab_man)
install(FILES ${lab_man} DESTINATION share/man/man1 COMPONENT lab)

# Libraries come from dpkg-shlibdeps; what the binaries load at run time is listed here: the
# QML modules the pages import (checked against qml/ at every configuration), Qt's SVG
# plugin for the window icon, and the GStreamer elements of the lab's RTSP camera.
file(GLOB_RECURSE qml_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/qml/*.qml ${PROJECT_SOURCE_DIR}/qml/*.js)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${qml_sources})
kora_qml_depends(qml_packages ${PROJECT_SOURCE_DIR}/qml)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KORA_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/deb)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL kora lab)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_KORA_PACKAGE_NAME kora)
set(CPACK_DEBIAN_KORA_PACKAGE_DEPENDS "${qml_packages}, libqt5svg5")
set(CPACK_COMPONENT_KORA_DESCRIPTION "operator client for AV-over-IP installations
Full-screen touch client for an AV-over-IP installation: it downloads the
controller's project, builds the operator pages from its design and arranges
the video walls, shows snapshots and live previews of the signals, and drives
KVM seats, cameras and the room's equipment. A desktop session runs it as a
kiosk.")

set(CPACK_DEBIAN_LAB_PACKAGE_NAME kora-lab)
set(CPACK_DEBIAN_LAB_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_LAB_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_LAB_DESCRIPTION "simulated installation for the KORA client
One process that plays the controller, host node, wall decoders, encoders
with test-pattern streams, an RTSP camera and designed equipment of an
AV-over-IP installation, for trying and testing the KORA client in a network
of its own.")

include(CPack)
