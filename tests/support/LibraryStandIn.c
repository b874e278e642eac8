/* Stands in for a system library in a test process: only its name (the SONAME
   the build gives it, orvex_stand_in_library) matters, for the checks that keep
   one toolkit away from another in the host's process. */
int orvex_library_stand_in(void) { return 1; }
