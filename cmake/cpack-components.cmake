# Read by cpack once for each generator: the Debian package holds the "deb" component, the archives
# the portable folder.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL deb)
else()
    set(CPACK_COMPONENTS_ALL portable)
    set(CPACK_ARCHIVE_FILE_NAME ${CPACK_PACKAGE_FILE_NAME})
endif()
