# The dialog layer of the Windows program: message maps, modal dialogs, the application object,
# message boxes and the wait cursor. Included from platform/CMakeLists.txt on Windows only.
add_library(platform_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AnsiText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CCmdTarget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CWinApp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FailureReport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModulePath.cpp
)
# The file and common dialogs and the dialog services behind the converter's actions.
foreach(source CFileDialog.cpp DialogServices.cpp)
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${source})
    target_sources(platform_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/${source})
  endif()
endforeach()
target_include_directories(platform_ui PUBLIC ${CMAKE_SOURCE_DIR})
# Message-map entries keep every handler as one member-pointer type and cast it back by the
# entry's signature, a round trip the language allows; the warning would flag each entry.
target_compile_options(platform_ui PUBLIC -Wno-cast-function-type)
target_link_libraries(platform_ui PUBLIC platform_file user32 gdi32 comdlg32 comctl32)

# WinMain alone, so that test executables with their own main do not get it.
add_library(platform_winmain OBJECT ${CMAKE_CURRENT_LIST_DIR}/AppMain.cpp)
target_include_directories(platform_winmain PRIVATE ${CMAKE_SOURCE_DIR})
