# The version header that the version blocks and tbxconv --version take, and the application
# manifest of each program, all from the project's version. Generated into the build tree.
set(KOVREL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/KovrelVersion.h.in ${KOVREL_GENERATED_DIR}/KovrelVersion.h @ONLY)
if(WIN32)
  foreach(program Kovrel tbxconv)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/Application.manifest.in ${KOVREL_GENERATED_DIR}/${program}.manifest @ONLY)
  endforeach()
endif()

# What the download is named after: the programs' Windows, 32 or 64 bits.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KOVREL_PACKAGE_SYSTEM win32)
else()
  set(KOVREL_PACKAGE_SYSTEM win64)
endif()
