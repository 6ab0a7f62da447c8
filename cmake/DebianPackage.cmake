# Elsewhere than on Windows tbxconv is installed like any tool: `cmake --install build/linux
# --prefix P` gives P/bin/tbxconv (stripped), its compressed man page, its bash completion and
# its copyright and changelog under share/doc/tbxconv; the package target makes a Debian
# package of the same.
if(WIN32 OR NOT TARGET tbxconv)
  return()
endif()
include(GNUInstallDirs)

set(KOVREL_MAINTAINER "Kovrel authors <kovrel@example.org>")
set(package_files ${CMAKE_SOURCE_DIR}/cli/debian)
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/tbxconv)

# The release is the changelog's latest entry, which must be this version's; its date is the
# man page's, whenever the build runs.
file(STRINGS ${package_files}/changelog heading LIMIT_COUNT 1)
if(NOT heading MATCHES "^tbxconv \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cli/debian/changelog has no entry for ${PROJECT_VERSION} at its top")
endif()
file(STRINGS ${package_files}/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT trailer MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "cli/debian/changelog: no date in its latest entry's trailer line")
endif()
set(day ${CMAKE_MATCH_1})
set(year ${CMAKE_MATCH_3})
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
if(month LESS 10)
  set(month 0${month})
endif()
set(KOVREL_RELEASE_DATE ${year}-${month}-${day})

# The copyright file in Debian's machine-readable format, its terms those of LICENSE.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE license)
if(NOT license MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.+)\n$")
  message(FATAL_ERROR "LICENSE: no copyright line followed by the terms")
endif()
set(KOVREL_COPYRIGHT ${CMAKE_MATCH_1})
string(REPLACE "\n" "\n " terms " ${CMAKE_MATCH_2}")
string(REPLACE "\n \n" "\n .\n" KOVREL_LICENSE_TERMS "${terms}")
configure_file(${package_files}/copyright.in ${CMAKE_BINARY_DIR}/doc/copyright @ONLY)

# The man page and the changelog compressed as Debian Policy asks: gzip -9n, so that the same
# content gives the same bytes.
configure_file(${CMAKE_SOURCE_DIR}/cli/tbxconv.1 ${CMAKE_BINARY_DIR}/man/tbxconv.1 @ONLY)
set(compressed)
foreach(file man/tbxconv.1 doc/changelog)
  if(file STREQUAL doc/changelog)
    set(input ${package_files}/changelog)
  else()
    set(input ${CMAKE_BINARY_DIR}/${file})
  endif()
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${file}.gz
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${input} ${CMAKE_BINARY_DIR}/${file}.gz
    DEPENDS ${input} VERBATIM)
  list(APPEND compressed ${CMAKE_BINARY_DIR}/${file}.gz)
endforeach()
add_custom_target(tbxconv_documents ALL DEPENDS ${compressed})

install(TARGETS tbxconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Installed without its debugging sections and the compiler's notes, as dh_strip leaves a
# program; the build keeps them whole in bin/ for reading a crash.
install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tbxconv\" COMMAND_ERROR_IS_FATAL ANY)")
install(FILES ${CMAKE_BINARY_DIR}/man/tbxconv.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/cli/tbxconv.bash-completion DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
  RENAME tbxconv)
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tbxconv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGE_CONTACT ${KOVREL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KOVREL_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# tbxconv_<version>_<arch>.deb, its dependencies read from the program's shared libraries.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The summary, then the long description (CPack indents its lines).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "read and convert Tabrix files of format versions 1.0, 1.1 and 1.2
tbxconv tells which format version wrote a Tabrix file (.tbx), writes its
content in the layout of another version, and prints it whole as JSON. It is
the engine of the Kovrel converter on the command line.")
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Kovrel;ALL;/")
include(CPack)
