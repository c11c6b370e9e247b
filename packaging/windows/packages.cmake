# SPDX-License-Identifier: MIT
# The Windows packages, made as part of the build: a portable zip and an installer
# (NSIS, with Debian's makensis when cross-building), each holding both programs, the
# licence and a short README. The installer's script is NSIS.template.in here.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/README.txt DESTINATION .)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_FILE_NAME ${QUVO_WINDOWS_PACKAGE})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Quvo Disk Speed")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY ${PROJECT_NAME})
set(CPACK_NSIS_DISPLAY_NAME "Quvo磁盘速度测试")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/app/icons/quvo-diskspeed.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/app/icons/quvo-diskspeed.ico)
# What the installer's Start-menu entry opens.
set(CPACK_QUVO_WINDOW_PROGRAM quvo-diskspeed.exe)
# The installer takes its script from here, and its own name.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/per_generator.cmake)

find_program(QUVO_MAKENSIS makensis)
set(CPACK_GENERATOR ZIP)
set(packages ${PROJECT_BINARY_DIR}/${CPACK_PACKAGE_FILE_NAME}.zip)
if(QUVO_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
  list(APPEND packages ${PROJECT_BINARY_DIR}/${CPACK_PACKAGE_FILE_NAME}-setup.exe)
  set(CPACK_NSIS_EXECUTABLE ${QUVO_MAKENSIS})
else()
  message(WARNING "No makensis (NSIS): the build makes the zip, not the installer.")
endif()
include(CPack)

if(QUVO_BUILD_APP)
  add_custom_command(OUTPUT ${packages}
    COMMAND ${CMAKE_CPACK_COMMAND} --config ${PROJECT_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    DEPENDS quvo-diskspeed quvo-diskspeed-cli ${CMAKE_CURRENT_LIST_DIR}/README.txt
            ${CMAKE_CURRENT_LIST_DIR}/NSIS.template.in ${CMAKE_CURRENT_LIST_DIR}/per_generator.cmake
            ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/CPackConfig.cmake
    COMMENT "Packing the zip and the installer"
    VERBATIM)
  add_custom_target(windows_packages ALL DEPENDS ${packages})
endif()
