# The download for Windows users: cmake --build --preset win32 --target package makes
# Kovrel-<version>-win32.zip in the build folder, with both programs as the tests ran them and
# the users' guide in Japanese and English, and the licence.
if(NOT WIN32 OR NOT TARGET Kovrel OR NOT TARGET tbxconv)
  return()
endif()

install(TARGETS Kovrel tbxconv RUNTIME DESTINATION .)
# The zip's programs without their debugging sections; the build keeps them whole in bin/ for
# reading a crash.
set(CPACK_STRIP_FILES ON)
install(FILES ${CMAKE_SOURCE_DIR}/docs/windows/Readme-ja.txt ${CMAKE_SOURCE_DIR}/docs/windows/Readme-en.txt
  DESTINATION .)
# The licence goes with every copy.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Kovrel)
set(CPACK_PACKAGE_VENDOR Tabrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Kovrel-${PROJECT_VERSION}-${KOVREL_PACKAGE_SYSTEM})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
# Unpacked, everything is in one folder named like the zip.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Only the two programs, the guide and the licence: nothing of GoogleTest or the test suites.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Kovrel;ALL;/")
include(CPack)
