# The Debian package: the program and its converters in /usr/lib/kivo (where Kivo looks for them,
# beside itself), `kivo` and the two converters people run themselves on PATH (not the others:
# Debian already has a `csv2tsv`), the desktop entry, icons and AppStream metainfo where a desktop
# finds them, the user's guide, copyright, changelog and manual pages under /usr/share. Its
# dependencies come from the programs (dpkg-shlibdeps).
set(deb ${CMAKE_BINARY_DIR}/deb)
set(doc share/doc/kivo)
file(MAKE_DIRECTORY ${deb}/bin ${deb}/lib)
foreach(program kivo agn2ics dbf2vcf)
    file(CREATE_LINK ../lib/kivo/${program} ${deb}/bin/${program} SYMBOLIC)
endforeach()
# The about box names the guide "in the program directory".
file(CREATE_LINK ../../${doc}/kivo.html ${deb}/lib/kivo.html SYMBOLIC)

install(TARGETS kivo ${KIVO_CONVERTERS} RUNTIME DESTINATION lib/kivo COMPONENT deb)
install(FILES ${deb}/bin/kivo ${deb}/bin/agn2ics ${deb}/bin/dbf2vcf DESTINATION bin COMPONENT deb)
install(FILES ${deb}/lib/kivo.html DESTINATION lib/kivo COMPONENT deb)
install(FILES resources/kivo.desktop DESTINATION share/applications COMPONENT deb)
install(FILES resources/io.github.kivo.Kivo.metainfo.xml DESTINATION share/metainfo COMPONENT deb)
install(FILES resources/kivo.svg DESTINATION share/icons/hicolor/scalable/apps COMPONENT deb)
install(FILES resources/kivo-48.png DESTINATION share/icons/hicolor/48x48/apps RENAME kivo.png COMPONENT deb)
install(FILES resources/kivo-128.png DESTINATION share/icons/hicolor/128x128/apps RENAME kivo.png COMPONENT deb)
install(FILES ${KIVO_PROGRAM_DIR}/kivo.html DESTINATION ${doc} COMPONENT deb)

# The copyright file in Debian's machine-readable form, from the project's LICENSE.
file(READ LICENSE license)
string(REGEX REPLACE "\n$" "" license "${license}")
string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
string(REGEX REPLACE "\n" "\n " license "${license}")
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" notice "${license}")
file(WRITE ${deb}/copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: kivo
Source: https://github.com/kivo/kivo

Files: *
Copyright: ${CMAKE_MATCH_1}
License: MIT
 ${license}
")
install(FILES ${deb}/copyright DESTINATION ${doc} COMPONENT deb)

# Compressed without a name or a time in them, so that the package can be made again the same.
function(kivo_gzip source output)
    execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${output} COMMAND_ERROR_IS_FATAL ANY)
endfunction()
file(WRITE ${deb}/changelog "kivo (${PROJECT_VERSION}) stable; urgency=medium

  * Kivo ${PROJECT_VERSION}: the agenda into any calendar program (agn2ics) and an address
    book into any contacts program (dbf2vcf); installed as a Debian package.

 -- ${KIVO_MAINTAINER}  Mon, 07 Dec 2026 12:00:00 +0000
")
kivo_gzip(${deb}/changelog ${deb}/changelog.gz)
install(FILES ${deb}/changelog.gz DESTINATION ${doc} COMPONENT deb)
foreach(page kivo agn2ics dbf2vcf)
    configure_file(resources/man/${page}.1 ${deb}/${page}.1 @ONLY)
    kivo_gzip(${deb}/${page}.1 ${deb}/${page}.1.gz)
    install(FILES ${deb}/${page}.1.gz DESTINATION share/man/man1 COMPONENT deb)
endforeach()

set(CPACK_DEBIAN_PACKAGE_NAME kivo)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KIVO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/kivo/kivo)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# cpack indents the lines after the first, and writes an empty one as " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "convert handheld organiser files to desktop formats and back
Kivo is a desktop front end for command-line converters that turn the data
files of the Psion Series 3a, 3c, 3mx and Siena organisers (agenda, database,
sheet, word processor, picture and sound files) into tab- and comma-separated
text, plain text, HTML, PCX and WAV, and back. Pick files or a whole folder
tree; Kivo runs the converter for each file and says which files failed and
why.

Two converters of its own bring an agenda into any calendar program
(agn2ics, iCalendar) and an address book into any contacts program
(dbf2vcf, vCard).")
