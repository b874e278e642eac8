# Compiles through ccache where the machine has it (scripts/install-deps
# installs Debian's): a build folder made anew, or a fresh clone on the same
# machine, compiles only what changed. Where its cache lives and how large it
# may grow is the caller's (scripts/common.sh); a launcher given on the
# command line is kept.
option(ORVEX_COMPILER_CACHE "Compile through ccache when it is installed" ON)
if(ORVEX_COMPILER_CACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER AND NOT CMAKE_C_COMPILER_LAUNCHER)
  find_program(ORVEX_CCACHE ccache)
  if(ORVEX_CCACHE)
    set(CMAKE_C_COMPILER_LAUNCHER ${ORVEX_CCACHE})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${ORVEX_CCACHE})
  endif()
endif()
