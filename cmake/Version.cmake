# Version texts for the code, the Windows version resource and the ELF section.
set(ORVEX_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
set(ORVEX_VERSION_MINOR ${PROJECT_VERSION_MINOR})
set(ORVEX_VERSION_PATCH ${PROJECT_VERSION_PATCH})
set(ORVEX_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
if(NOT ORVEX_VERSION_TWEAK)
  set(ORVEX_VERSION_TWEAK 0)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/OrvexVersion.h.in
               ${CMAKE_BINARY_DIR}/generated/OrvexVersion.h @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/OrvexClassName.h.in
               ${CMAKE_BINARY_DIR}/generated/OrvexClassName.h @ONLY)

# Turns a target into a Native API add-in library: the four exports only,
# the version stamp, and the bridge linked whole so its exports are kept.
function(orvex_addin_library target)
  target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,v8bridge>")
  if(WIN32)
    target_sources(${target} PRIVATE
      ${PROJECT_SOURCE_DIR}/bridge/v8napi.def
      ${PROJECT_SOURCE_DIR}/resources/version.rc)
    target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated)
    # MinGW's linker writes the link time into the PE header; without it the
    # same sources link to the same bytes, and the package can be made again.
    target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
    set_target_properties(${target} PROPERTIES PREFIX "")
  else()
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources/version_section.cpp)
    target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated)
    target_link_options(${target} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/bridge/v8napi.map)
    # Clang's sanitizer runtimes live in the programs, not in a library the
    # add-in could name: there the add-in takes their symbols from its host.
    if(NOT (CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND CMAKE_CXX_FLAGS MATCHES "-fsanitize="))
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
    set_target_properties(${target} PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/bridge/v8napi.map)
  endif()
endfunction()
