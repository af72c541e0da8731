# Installing and packaging: the programs in a directory of their own,
# /opt/<project>/, beside the files they read there (the catalogue, the
# control programs, the demo files, the user guide), and around them what the
# system needs: links on the PATH, manual pages, the desktop entry and icon,
# bash completion, the udev rule for USB serial adapters.
#
# Destinations are relative to a prefix that stands for the root, so
#   cmake --install build                       installs into / itself,
#   DESTDIR=/tmp/stage cmake --install build    stages the same tree,
#   cd build && cpack                           builds the .deb and the .tar.gz.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "/" CACHE PATH "Root the layout (opt/, usr/) is installed under" FORCE)
endif()
set(FLASH_APP_DIR "opt/${PROJECT_NAME}")

set(flash_programs flashcli)
foreach(program flashsim flash)
  if(TARGET ${program})
    list(APPEND flash_programs ${program})
  endif()
endforeach()

install(TARGETS ${flash_programs} RUNTIME DESTINATION ${FLASH_APP_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/demo/ DESTINATION ${FLASH_APP_DIR})
if(TARGET flash)
  # Help looks for the guide beside the program, as in the build tree.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${FLASH_APP_DIR}/doc
          PATTERN man EXCLUDE PATTERN architecture.md EXCLUDE)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/${PROJECT_NAME}.desktop
          DESTINATION usr/share/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/${PROJECT_NAME}.svg
          DESTINATION usr/share/icons/hicolor/scalable/apps)
endif()

# Relative links, so they hold in a staged or unpacked tree too; the programs
# find their directory through the link (/proc/self/exe).
set(link_dir ${CMAKE_BINARY_DIR}/packaging/bin)
file(MAKE_DIRECTORY ${link_dir})
foreach(program IN LISTS flash_programs)
  file(CREATE_LINK ../../${FLASH_APP_DIR}/${program} ${link_dir}/${program} SYMBOLIC)
  install(FILES ${link_dir}/${program} DESTINATION usr/bin)
endforeach()

# Manual pages, from docs/man/<program>.1.txt by cmake/ManPage.cmake.
set(man_pages)
foreach(program IN LISTS flash_programs)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  add_custom_command(OUTPUT ${page} ${page}.gz
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/docs/man/${program}.1.txt
            -DOUTPUT=${page} "-DVERSION=${PROJECT_NAME} ${PROJECT_VERSION}" -DCOMPRESS=ON
            -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${program}.1.txt ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Manual page ${program}(1)")
  list(APPEND man_pages ${page})
  install(FILES ${page}.gz DESTINATION usr/share/man/man1)
endforeach()
add_custom_target(manpages ALL DEPENDS ${man_pages})

install(FILES ${PROJECT_SOURCE_DIR}/packaging/flashcli.bash-completion
        DESTINATION usr/share/bash-completion/completions RENAME flashcli)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/99-flash-serial.rules DESTINATION usr/lib/udev/rules.d)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/README.Debian ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION usr/share/doc/${PROJECT_NAME})

set(FLASH_PACKAGE_MAINTAINER "${PROJECT_NAME} maintainers <${PROJECT_NAME}@localhost>"
    CACHE STRING "Maintainer field of the .deb")
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${FLASH_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial flash programmer for single-chip microcontrollers")
set(CPACK_PACKAGE_DESCRIPTION
    "The window (flash), the command line for scripts and production lines (flashcli) and a simulated target board (flashsim).")
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
