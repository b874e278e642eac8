// A library that calls WebKitGTK through its link: what the driver must never be.
extern "C" void* webkit_web_view_new();

extern "C" __attribute__((visibility("default"))) void* OrvexFixtureMakesWebView() { return webkit_web_view_new(); }
