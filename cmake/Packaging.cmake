# `make package`: a Debian package of what `cmake --install` puts, built by CPack.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trawlkit)
set(CPACK_PACKAGE_VENDOR Trawlkit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Trawlkit maintainers <maintainers@users.noreply.c-seed-872283d1.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "website downloader for offline browsing")
set(CPACK_PACKAGE_DESCRIPTION [=[
Trawlkit copies web and FTP sites to the disk for offline reading. A
four-page wizard in Japanese takes the start pages, the save folder and a
few options: how many layers of links to follow, whether to stay on each
start page's site, one folder or the server's folder structure, file types
and URLs to leave out. Trawlkit then saves every accepted file, rewrites
the links of saved pages to relative local paths so that the copy browses
from disk, and logs one line per URL.

It honours robots.txt, can pause between requests and limit its rate and
connections, resumes cut downloads from its cache, and keeps each job as
a project file (.tkp). trawlkit-cli runs the same job from a terminal.]=])
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
# The package's paths are those of an install with the prefix /usr, staged under DESTDIR, so that
# install rules that look at the prefix see /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: the libraries the programs link, as dpkg-shlibdeps finds them (needs dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without a Japanese font every text of the wizard is a row of boxes; Qt's own buttons and
# dialogs speak Japanese with its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")

include(CPack)
