# Libraries made for the job, as the target names our code links:
#   orvex_pugixml — XML documents.
# On Linux they are Debian's -dev packages; the Windows builds compile Debian's
# source packages (unpacked by scripts/fetch-sources) with the cross compiler.
set(ORVEX_DEB_SRC_DIR "${PROJECT_SOURCE_DIR}/build/deb-src" CACHE PATH
    "Debian source packages for the cross builds (scripts/fetch-sources)")

function(orvex_require_deb_source name)
  if(NOT EXISTS "${ORVEX_DEB_SRC_DIR}/${name}")
    message(FATAL_ERROR "${ORVEX_DEB_SRC_DIR}/${name} is missing: run scripts/fetch-sources")
  endif()
endfunction()

add_library(orvex_pugixml INTERFACE)
if(WIN32)
  orvex_require_deb_source(pugixml)
  add_library(orvex_pugixml_static STATIC "${ORVEX_DEB_SRC_DIR}/pugixml/src/pugixml.cpp")
  # Third-party code: compiled as its makers intend, not under our warning set.
  target_include_directories(orvex_pugixml_static SYSTEM PUBLIC "${ORVEX_DEB_SRC_DIR}/pugixml/src")
  target_link_libraries(orvex_pugixml INTERFACE orvex_pugixml_static)
else()
  find_package(pugixml REQUIRED)
  target_link_libraries(orvex_pugixml INTERFACE pugixml::pugixml)
endif()
