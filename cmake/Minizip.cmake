# minizip and zlib compiled from Debian's source packages (unpacked by
# scripts/fetch-sources into ORVEX_DEB_SRC_DIR): the library, its tests and the
# build machine's help archive tool (help/archive-tool) all include this file.
set(ORVEX_DEB_SRC_DIR "${PROJECT_SOURCE_DIR}/build/deb-src" CACHE PATH
    "Debian source packages compiled into the library (scripts/fetch-sources)")

function(orvex_require_deb_source name)
  if(NOT EXISTS "${ORVEX_DEB_SRC_DIR}/${name}")
    message(FATAL_ERROR "${ORVEX_DEB_SRC_DIR}/${name} is missing: run scripts/fetch-sources")
  endif()
endfunction()

#   orvex_minizip — reading zip archives (zlib's minizip), the help archive.
# Compiled from minizip's source package on every OS, position-independent, so
# that the library needs no minizip of the machine's. zip.c: the help tests
# write their own archives.
# zlib: on Windows Debian's MinGW package (libz-mingw-w64-dev); on Linux its
# source package, compiled here for the same reason: Debian's libz.a (and the
# i386 minizip archive) are not position-independent, and the shared objects
# cost the host a load and relocation of two more libraries.
orvex_require_deb_source(minizip)
if(WIN32)
  find_library(ORVEX_MINGW_ZLIB NAMES libz.a REQUIRED)
  set(orvex_zlib "${ORVEX_MINGW_ZLIB}")
else()
  orvex_require_deb_source(zlib)
  set(zlib_dir "${ORVEX_DEB_SRC_DIR}/zlib")
  # Only what inflating and deflating need: minizip does its own file access,
  # so zlib's gz* file functions stay out.
  add_library(orvex_zlib_static STATIC
    "${zlib_dir}/adler32.c" "${zlib_dir}/crc32.c" "${zlib_dir}/deflate.c" "${zlib_dir}/inffast.c"
    "${zlib_dir}/inflate.c" "${zlib_dir}/inftrees.c" "${zlib_dir}/trees.c" "${zlib_dir}/zutil.c")
  # Third-party code: compiled as its makers intend, not under our warning set.
  target_include_directories(orvex_zlib_static SYSTEM PUBLIC "${zlib_dir}")
  target_compile_definitions(orvex_zlib_static PUBLIC HAVE_UNISTD_H)
  set(orvex_zlib orvex_zlib_static)
endif()
add_library(orvex_minizip_static STATIC
  "${ORVEX_DEB_SRC_DIR}/minizip/unzip.c" "${ORVEX_DEB_SRC_DIR}/minizip/zip.c" "${ORVEX_DEB_SRC_DIR}/minizip/ioapi.c")
# <minizip/unzip.h>, as its -dev package installs it.
target_include_directories(orvex_minizip_static SYSTEM PUBLIC "${ORVEX_DEB_SRC_DIR}")
target_link_libraries(orvex_minizip_static PUBLIC "${orvex_zlib}")
add_library(orvex_minizip INTERFACE)
target_link_libraries(orvex_minizip INTERFACE orvex_minizip_static)
