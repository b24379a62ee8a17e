# A Debian package of the installed program: cpack -G DEB in the build folder
# (or cmake --build BUILD --target package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelmdemo)
set(CPACK_PACKAGE_VENDOR "pelm")
set(CPACK_PACKAGE_CONTACT "pelm maintainers <maintainers@pelm.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Prints plain text files as paginated reports")
set(CPACK_PACKAGE_DESCRIPTION
    "A small desktop utility that prints a plain text file as a paginated report: every page gets a tiled watermark, a logo, three header lines and its page numbering. Its print engine writes a PDF and shows a print preview from which it can be printed. pelmprint prints reports from a command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# What the libraries do not say: the faces the reports are printed in.
# libqt6svg6: Qt reads the preview's SVG icons through its plugin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fontconfig, fonts-liberation2, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-noto-core, fonts-noto-cjk, fonts-droid-fallback, fonts-symbola, qt6-wayland")
include(CPack)
