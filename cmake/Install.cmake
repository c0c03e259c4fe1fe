# Installation: the program, its desktop entry and its icon in the hicolor
# theme. Only a build with the windows has a program to install; the desktop
# entry and the hicolor theme are for freedesktop systems.
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

  if(ZOQ_WITH_TESTS)
    add_test(NAME install.layout
             COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/install_test.sh ${PROJECT_BINARY_DIR})
    set_tests_properties(install.layout PROPERTIES TIMEOUT 120)
  endif()
endif()
