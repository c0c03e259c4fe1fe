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
endif()
