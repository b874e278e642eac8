/* Stands in for GTK 2 in a test process: only its name (SONAME
   libgtk-x11-2.0.so.0) matters, for the check that keeps GTK 3 away from it. */
int orvex_gtk2_stand_in(void) { return 2; }
