# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in the build folder makes
# rechnung_<version>_<arch>.deb from what packaging/CMakeLists.txt installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rechnung)
set(CPACK_PACKAGE_VENDOR "Gärtnerei Trovanek")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The build keeps its debugging information; the package does not need it.
set(CPACK_STRIP_FILES ON)

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Rechnungsprogramm einer Gärtnerei / invoicing for a plant nursery")
set(CPACK_PACKAGE_DESCRIPTION [[
Kunden, Rechnungen nach Jahren und Rechnungspositionen mit Nettosumme,
10 % Mehrwertsteuer und Gesamtbetrag; die zweisprachige Rechnung
(Rechnung / Fattura) mit Vorschau, Druck und PDF und die elektronische
Rechnung im Format FatturaPA 1.2. Alle Daten liegen in einer
SQLite-Datei; rechnung-db legt sie an.

Customers, invoices kept per year and invoice lines with net sum, 10 % VAT
and gross total; the bilingual printed invoice with preview, printing and
PDF, and the Italian electronic invoice (FatturaPA 1.2). All data lives in
one SQLite file, made by rechnung-db.]])

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Gärtnerei Dev <dev@example.invalid>")
# Debian has no section for office programs of their own; gnucash and the
# like are filed under their desktop, which this program does not belong to.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries both executables link come from dpkg-shlibdeps (dpkg-dev).
# It cannot see what is opened by name at run time: the fonts the windows and
# the printed invoice ask for. Qt's plugins the program loads (platform xcb,
# image formats, input contexts, printing through CUPS) all lie in
# libqt6gui6 and libqt6printsupport6 on Debian 12, which the linked
# libraries bring in already.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, fonts-dejavu-core, fonts-liberation2")
# Qt's own dialogs in German, and the icon theme the menu's icon belongs to;
# the program runs without either.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, hicolor-icon-theme")

include(CPack)
