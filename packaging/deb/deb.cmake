# The Debian package, made by CPack's DEB generator from the same install
# rules as `cmake --install`, so the package and a source install cannot
# drift apart. `cpack -G DEB` in a build tree writes zoq_1.2-1_amd64.deb.
set(ZOQ_DEB_RELEASE 1 CACHE STRING "Debian revision of the package")
set(ZOQ_DEB_MAINTAINER "Ｚｏｑ个人播放器 maintainers <maintainers@zoq.invalid>"
    CACHE STRING "Maintainer field and changelog signature of the Debian package")
set(ZOQ_DEB_VERSION ${PROJECT_VERSION}-${ZOQ_DEB_RELEASE})

# Documents only a Debian package carries: installed with the component
# "deb", which a plain `cmake --install` leaves out.
set(deb_dir ${PROJECT_BINARY_DIR}/packaging/deb)
# SOURCE_DATE_EPOCH, when set (scripts/release sets the last commit's time),
# takes the place of the build's time.
string(TIMESTAMP ZOQ_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${deb_dir}/changelog @ONLY)
zoq_gzip(${deb_dir}/changelog ${deb_dir}/changelog.Debian.gz)
install(FILES ${deb_dir}/changelog.Debian.gz ${CMAKE_CURRENT_LIST_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME zoq
        COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zoq)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ZOQ_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Notes, a photograph and a clock in one small window")
# The summary is the synopsis line; this is the extended text under it.
set(CPACK_PACKAGE_DESCRIPTION "Ｚｏｑ个人播放器 is a small personal desktop utility with a Chinese interface:
a main window with a photograph, three note boxes and a clock line, and a
settings window for its title, colours and picture. At every start it
compares its version with the one on its web page.")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ZOQ_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# Depends: what the program links (dpkg-shlibdeps), and what it uses
# without linking: the Kai and Song faces its layouts name plus a CJK face
# for the rest, Qt's Chinese button texts, Qt's platform plugins (xcb itself
# comes with libqt6gui6), and xdg-open for the browser hand-off.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-arphic-ukai, fonts-arphic-uming, fonts-noto-cjk | fonts-wqy-zenhei, qt6-translations-l10n, qt6-qpa-plugins, xdg-utils")

# Staged under DESTDIR with the real prefix, so the desktop entry's Exec=
# reads /usr/bin/zoq and not the staging folder.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# One package holding the default component and the Debian documents.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified deb)
include(CPack)
