// A library that calls GTK through its link: what the driver must never be.
#include <gtk/gtk.h>

extern "C" __attribute__((visibility("default"))) int OrvexFixtureOpensDisplay() {
  return gtk_init_check(nullptr, nullptr);
}
