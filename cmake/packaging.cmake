# The Debian package: `cpack -G DEB` in a build folder (a Release build, see README.md) writes
# veska_<version>_<arch>.deb. It holds what `cmake --install` lays out: the two programs, the
# menu entry, the icons, the software-centre metadata and the manual pages.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veska)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Veska)
set(CPACK_PACKAGE_CONTACT "Veska <${VESKA_MAIL_ADDRESS}>")
# Install with the final prefix under a staging root (DESTDIR), so that the menu entry names
# /usr/bin/veska rather than the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VESKA_HOME_URL}")
# Depends from the libraries the programs link (Qt, libcurl, uchardet, OpenCC with its
# dictionaries, the C++ runtime), and the SQLite driver Qt SQL loads as a plugin, which no link
# names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
# The text needs CJK fonts; Qt's own dialogs speak Chinese with its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
# The first line is the summary, the rest the long text (CPack indents it; an empty line parts
# the paragraphs).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "reader for plain-text novels / 纯文本小说阅读器
Veska is a desktop reader for plain-text (TXT) novels with a Simplified
Chinese interface. It opens a book of any size at once, reading one page at a
time, detects its encoding (GB18030 and other legacy code pages, UTF-8,
UTF-16), keeps bookmarks of where you stopped and lives in the tray.

Veska 是简体中文界面的 TXT 小说阅读器：任意大小的书都能立即打开，
逐页阅读，自动识别编码，书签记住每本书读到的地方，常驻系统托盘。")
include(CPack)
