// A shared library that is no automation provider: it lacks the entry.
extern "C" __attribute__((visibility("default"))) int OrvexNotAProvider() { return 0; }
