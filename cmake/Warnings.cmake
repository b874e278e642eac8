# Warnings on our own code (never on third-party headers): every flag the
# compiler in use accepts (GCC and Clang both build the code warning-clean);
# errors when ORVEX_WARNINGS_AS_ERRORS is on, as every preset has it.
include(CheckCXXCompilerFlag)

option(ORVEX_WARNINGS_AS_ERRORS "Fail the build on any warning in the project's own code" OFF)

set(ORVEX_WARNING_CANDIDATES
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wdouble-promotion -Wformat=2)

# Checked once per build folder (the results stay in the cache), quietly: one
# line of configure output names the flags in use.
set(ORVEX_WARNING_FLAGS "")
set(CMAKE_REQUIRED_QUIET ON)
foreach(flag IN LISTS ORVEX_WARNING_CANDIDATES)
  string(MAKE_C_IDENTIFIER "ORVEX_CXX_HAS${flag}" has_flag)
  check_cxx_compiler_flag("${flag}" ${has_flag})
  if(${has_flag})
    list(APPEND ORVEX_WARNING_FLAGS "${flag}")
  endif()
endforeach()
unset(CMAKE_REQUIRED_QUIET)
if(ORVEX_WARNINGS_AS_ERRORS)
  list(APPEND ORVEX_WARNING_FLAGS -Werror)
endif()
list(JOIN ORVEX_WARNING_FLAGS " " orvex_flags_text)
message(STATUS "Warning flags for our code: ${orvex_flags_text}")
unset(orvex_flags_text)

function(orvex_warnings target)
  target_compile_options(${target} PRIVATE ${ORVEX_WARNING_FLAGS})
endfunction()

# GCC 12 at -O3 reports overlaps inside libstdc++'s own string copies that
# cannot happen (a known false positive); it would fail release builds of any
# code that concatenates strings.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
endif()
