# Kivo as people install it: the portable folder kivo-VERSION/ (a .tar.gz on Linux, a .zip on
# Windows: component "portable") and, on Linux, a Debian package whose files lie where a Debian
# desktop looks for them (component "deb"). cpack makes each from its own component.
set(KIVO_PACKAGE_DIR kivo-${PROJECT_VERSION})
if(KIVO_GUI)
    install(TARGETS kivo RUNTIME DESTINATION ${KIVO_PACKAGE_DIR} COMPONENT portable)
    if(WIN32)
        kivo_install_windows_runtime(${KIVO_PACKAGE_DIR})
    endif()
endif()
install(TARGETS ${KIVO_CONVERTERS} RUNTIME DESTINATION ${KIVO_PACKAGE_DIR} COMPONENT portable)
install(FILES LICENSE ${KIVO_PROGRAM_DIR}/kivo.html DESTINATION ${KIVO_PACKAGE_DIR} COMPONENT portable)
if(NOT WIN32) # what a Linux desktop needs
    install(FILES resources/kivo.desktop resources/io.github.kivo.Kivo.metainfo.xml resources/kivo.svg
                  resources/kivo-48.png resources/kivo-128.png DESTINATION ${KIVO_PACKAGE_DIR} COMPONENT portable)
    install(PROGRAMS tools/install-desktop.sh DESTINATION ${KIVO_PACKAGE_DIR} COMPONENT portable)
    if(KIVO_GUI)
        include(cmake/debian.cmake)
    endif()
endif()

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME kivo-${PROJECT_VERSION}-windows-x86_64)
else()
    set(CPACK_GENERATOR TGZ DEB)
    set(CPACK_PACKAGE_FILE_NAME kivo-${PROJECT_VERSION}-linux-x86_64)
endif()
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
# Which component each generator packs.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-components.cmake)
include(CPack)
