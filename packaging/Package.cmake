# The Debian package: `cpack --config build/CPackConfig.cmake` (or
# `cmake --build build --target package`) in a configured build tree.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "orvane")
set(CPACK_PACKAGE_VENDOR "Orvane developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fax viewer and converter")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvane developers <orvane-dev@example.org>")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Orvane opens fax files of many kinds, shows their pages at their true
aspect, prints them, and converts them to multi-page TIFF fax files or PDF.
It reads TIFF fax (CCITT G3 1D/2D, G4, Modified Huffman, JBIG, PackBits), bare
G3/G4 streams, DCX, WinFax, Apro, Bitware, Quick Link II, QRN-FAX and SFF files.

The package holds the Qt desktop viewer (orvane) and the command-line tool
(orvane-cli) for rendering, inspecting and batch conversion.")
# dpkg-shlibdeps turns the libraries the programs link (Qt 6, libpng, the C++
# runtime) into the Debian packages that hold them. The icon theme and the
# MIME database are what the desktop entry and the fax types hook into.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# icc-profiles-free holds the sRGB profile that PDF/A output (--pdfa) embeds;
# without it only --pdfa is refused.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "hicolor-icon-theme, shared-mime-info, desktop-file-utils, icc-profiles-free")
# libtesseract is opened when searchable text is first asked for, so the
# package's library dependencies do not name it.
if(ORVANE_HAVE_OCR)
  string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", libtesseract5, tesseract-ocr-eng, tesseract-ocr-osd")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
