# Link-time optimisation of GCC's optimised builds. Every host call crosses
# units (the bridge's checks, the value setters, the class table) that only
# the link can inline into one another; the library also comes out a fifth
# smaller, so a host maps less of it when it loads. Clang's would need LLVM's
# linker plugin beside Debian's linker; sanitizer and Debug builds gain nothing.
# Not for Windows yet: with it, MinGW's linker wrote export addresses outside
# the image for the simulated terminal's DLL, whose functions are exported by
# its .def file alone, and the tests crashed calling them (the binary checks now
# look at where every export leads). The driver DLL came out right, but the
# Windows builds stay as they were tested: the simulator's exports would need
# marking for the optimiser, and the x86 DLL cannot run its tests here.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT WIN32
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  include(CheckIPOSupported)
  check_ipo_supported(RESULT orvex_lto_supported OUTPUT orvex_lto_output LANGUAGES C CXX)
  if(orvex_lto_supported)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
  else()
    message(STATUS "Link-time optimisation is not available with this compiler: ${orvex_lto_output}")
  endif()
endif()
