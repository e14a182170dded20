# The Debian package: cpack -G DEB in a configured build folder gives
# rondexa_<version>_<arch>.deb. Built and tried out by scripts/build-deb.sh.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rondexa)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Marrowind)
set(CPACK_PACKAGE_CONTACT "Marrowind <support@marrowind.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal contact manager for the desktop")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Marrowind <support@marrowind.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.marrowind.example/")
# CPack puts the summary above this as the control file's first description
# line and indents these lines, an empty one becoming the " ." paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Rondexa keeps one person's contacts (name, date of birth, eight phone
numbers, e-mail, web address and notes) in a local SQLite database file
and shows them in one window: a list with a search box over every field,
an editor to add or change a contact, delete with confirmation, a printed
report with preview, export into a spreadsheet workbook, and example
contacts to try it out.

The contacts live in ~/.local/share/Marrowind/Rondexa/dbContacts.mdb;
removing the package leaves them there.")
# The libraries come from the executable itself (dpkg-shlibdeps); the fonts
# are asked for by name ("Arial") and only fontconfig's substitution by
# Liberation Sans keeps the layout's metrics, so no library shows the need.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
# Liberation has no ideographs: without a CJK font, names and remarks in those
# scripts print as empty boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei")

include(CPack)
