# Libraries made for the job, as the target names our code links:
#   orvex_pugixml — XML documents; orvex_minizip and orvex_cmark_gfm below.
# On Linux pugixml and cmark-gfm are Debian's -dev packages, minizip and zlib
# Debian's source packages compiled here; the Windows builds compile every
# source package (unpacked by scripts/fetch-sources) with the cross compiler.
include(${CMAKE_CURRENT_LIST_DIR}/Minizip.cmake)

add_library(orvex_pugixml INTERFACE)
if(WIN32)
  orvex_require_deb_source(pugixml)
  add_library(orvex_pugixml_static STATIC "${ORVEX_DEB_SRC_DIR}/pugixml/src/pugixml.cpp")
  # Third-party code: compiled as its makers intend, not under our warning set.
  target_include_directories(orvex_pugixml_static SYSTEM PUBLIC "${ORVEX_DEB_SRC_DIR}/pugixml/src")
  target_link_libraries(orvex_pugixml INTERFACE orvex_pugixml_static)
else()
  # Debian's static archive (position-independent): linked in, the library has
  # one object fewer to map and relocate when the host loads it.
  find_package(pugixml REQUIRED)
  target_link_libraries(orvex_pugixml INTERFACE pugixml::static)
endif()

#   orvex_minizip — cmake/Minizip.cmake.

#   orvex_cmark_gfm — Markdown to HTML with GitHub's extensions (cmark-gfm).
# Windows: its source package built by its own CMake project with our cross
# toolchain, static.
add_library(orvex_cmark_gfm INTERFACE)
if(WIN32)
  orvex_require_deb_source(cmark-gfm)
  include(ExternalProject)
  set(cmark_prefix "${CMAKE_BINARY_DIR}/third-party/cmark-gfm")
  set(cmark_libraries "${cmark_prefix}/lib/libcmark-gfm-extensions.a" "${cmark_prefix}/lib/libcmark-gfm.a")
  ExternalProject_Add(orvex_cmark_gfm_build
    SOURCE_DIR "${ORVEX_DEB_SRC_DIR}/cmark-gfm"
    BINARY_DIR "${cmark_prefix}/build"
    INSTALL_DIR "${cmark_prefix}"
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
               -DCMAKE_BUILD_TYPE=Release -DCMARK_TESTS=OFF -DCMARK_SHARED=OFF -DCMARK_STATIC=ON
    BUILD_BYPRODUCTS ${cmark_libraries})
  file(MAKE_DIRECTORY "${cmark_prefix}/include")
  target_include_directories(orvex_cmark_gfm SYSTEM INTERFACE "${cmark_prefix}/include")
  target_compile_definitions(orvex_cmark_gfm INTERFACE CMARK_GFM_STATIC_DEFINE CMARK_GFM_EXTENSIONS_STATIC_DEFINE)
  target_link_libraries(orvex_cmark_gfm INTERFACE ${cmark_libraries})
  add_dependencies(orvex_cmark_gfm orvex_cmark_gfm_build)
else()
  # Debian's static archives (position-independent), linked in for the same
  # reason as pugixml; the extensions need the core, so they come first.
  find_library(ORVEX_CMARK_GFM_EXTENSIONS_ARCHIVE NAMES libcmark-gfm-extensions.a REQUIRED)
  find_library(ORVEX_CMARK_GFM_ARCHIVE NAMES libcmark-gfm.a REQUIRED)
  target_compile_definitions(orvex_cmark_gfm INTERFACE CMARK_GFM_STATIC_DEFINE CMARK_GFM_EXTENSIONS_STATIC_DEFINE)
  target_link_libraries(orvex_cmark_gfm INTERFACE "${ORVEX_CMARK_GFM_EXTENSIONS_ARCHIVE}" "${ORVEX_CMARK_GFM_ARCHIVE}")
endif()
