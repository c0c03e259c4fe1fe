# Installation: the program, its desktop entry, its icon in the hicolor
# theme, its manual page and AppStream metadata; packaging/deb/ makes the
# Debian package from the same rules. Only a build with the windows has a
# program to install; all of this is for freedesktop systems.
include(GNUInstallDirs)

set(ZOQ_ICON_NAME zoq)

if(TARGET zoq AND NOT WIN32)
  install(TARGETS zoq RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Exec= carries the installed program's absolute path, so the entry is
  # written at install time, when the prefix (--prefix included) is known.
  set(desktop_in ${PROJECT_SOURCE_DIR}/packaging/zoq.desktop.in)
  set(desktop_out ${PROJECT_BINARY_DIR}/packaging/zoq.desktop)
  install(CODE "
    set(ZOQ_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:zoq>\")
    set(ZOQ_ICON_NAME \"${ZOQ_ICON_NAME}\")
    configure_file(\"${desktop_in}\" \"${desktop_out}\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\"
         TYPE FILE FILES \"${desktop_out}\")
  ")

  # The window icon's own pictures, painted at build time by forms/.
  get_property(icon_dir GLOBAL PROPERTY ZOQ_ICON_PNG_DIR)
  if(NOT icon_dir)
    message(FATAL_ERROR "forms/ did not say where the icon's PNG files are painted")
  endif()
  foreach(size 16 32 48 256)
    install(FILES ${icon_dir}/icon-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${ZOQ_ICON_NAME}.png)
  endforeach()

  # The manual page and the AppStream metadata. gzip -n leaves the date out,
  # so the same page gives the same bytes in every build.
  function(zoq_gzip in out)
    execute_process(COMMAND gzip -n -9 -c ${in} OUTPUT_FILE ${out} COMMAND_ERROR_IS_FATAL ANY)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${in})
  endfunction()
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
  zoq_gzip(${PROJECT_SOURCE_DIR}/packaging/zoq.1 ${PROJECT_BINARY_DIR}/packaging/zoq.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/zoq.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/net.zoq.zoq.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  include(${PROJECT_SOURCE_DIR}/packaging/deb/deb.cmake)

  if(ZOQ_WITH_TESTS)
    add_test(NAME install.layout
             COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/install_test.sh ${PROJECT_BINARY_DIR})
    set_tests_properties(install.layout PROPERTIES TIMEOUT ${ZOQ_TEST_TIMEOUT})
  endif()
endif()
