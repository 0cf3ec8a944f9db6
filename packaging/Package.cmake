# The Debian package, built by CPack: `cpack -G DEB` in a build folder, or
# `make package` (release build). Installs into /usr. include(CPack) follows
# in the top-level CMakeLists.txt.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QLE")
set(CPACK_PACKAGE_CONTACT "QLE maintainers <qle@localhost>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Remote control and data logging for laboratory DC power supplies")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # qle_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary above becomes the description's first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"QLE remote-controls programmable laboratory DC power supplies of the KMA,
KMB, KMC and QLE families (one, two or three outputs) over RS-232,
USB-serial or GPIB, and records their measurements in a local database,
shown as a table and a graph, with CSV export and printing.

The package also contains psu-sim, a virtual instrument that emulates every
supported model on a pseudo-terminal or TCP port.")

# Qt parts the program loads at run time, which no tool can read from the
# binaries: the SQLite driver, the SVG icon and image plugins, the platform
# plugins; and the Qt modules the build is configured with.
set(QLE_DEBIAN_RUNTIME_DEPENDS
  libqt6sql6-sqlite
  libqt6svg6
  qt6-qpa-plugins
  libqt6charts6
  libqt6printsupport6)
# The libraries the binaries link, with their minimum versions, come from
# dpkg-shlibdeps (package dpkg-dev). Without it, the list is written out here.
find_program(QLE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QLE_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  message(WARNING "dpkg-shlibdeps (package dpkg-dev) not found: the Debian package's "
                  "dependencies are listed without version constraints")
  list(APPEND QLE_DEBIAN_RUNTIME_DEPENDS
    libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6serialport6 libqt6sql6
    libmosquitto1 libstdc++6 libgcc-s1 libc6)
  if(QLE_SANITIZE)
    list(APPEND QLE_DEBIAN_RUNTIME_DEPENDS libasan8 libubsan1)
  endif()
endif()
list(JOIN QLE_DEBIAN_RUNTIME_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
