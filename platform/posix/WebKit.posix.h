#pragma once
// WebKitGTK as the document window uses it: loaded at run time like GTK, never
// linked. Its headers are not needed: the few functions called are declared
// here over opaque pointers, with the types of WebKitGTK's API for GTK 3.
#include <functional>
#include <optional>

#include "platform/posix/Gtk.posix.h"

namespace os::webkit {

using gtk::gchar;
using gtk::GObject;
using gtk::GtkWidget;

// One build of WebKitGTK for GTK 3 and the libraries that come with it: a
// process holds at most one of each, and libsoup 2 beside libsoup 3 aborts it.
struct TWebKitBuild {
  const char* WebKit;
  const char* JavaScriptCore;
  const char* Soup;
};

// The builds the window can use, in the order they are tried.
inline constexpr TWebKitBuild kOurBuilds[] = {
    {"libwebkit2gtk-4.1.so.0", "libjavascriptcoregtk-4.1.so.0", "libsoup-3.0.so.0"},
    {"libwebkit2gtk-4.0.so.37", "libjavascriptcoregtk-4.0.so.18", "libsoup-2.4.so.1"},
};
// Other WebKits a host may hold for its own HTML fields; ours must not join them.
inline constexpr const char* kOtherWebKits[] = {
    "libwebkitgtk-6.0.so.4",         "libjavascriptcoregtk-6.0.so.1", "libwebkitgtk-1.0.so.0",
    "libjavascriptcoregtk-1.0.so.0", "libwebkitgtk-3.0.so.0",         "libjavascriptcoregtk-3.0.so.0",
};

// The build to use, given which libraries the process already holds: one of
// ours already there is the one; libraries of another build in the process
// leave none (nullptr); otherwise the first of ours that can be loaded.
using TIsLoaded = std::function<bool(const char* LibraryName)>;
using TCanLoad = std::function<bool(const char* LibraryName)>;
const TWebKitBuild* ChooseBuild(const TIsLoaded& IsLoaded, const TCanLoad& CanLoad);

// WebKitWebView's policy decision kinds ("decide-policy").
enum TPolicyDecisionType { kNavigationAction = 0, kNewWindowAction = 1, kResponse = 2 };

struct TWebKitApi {
  GtkWidget* (*webkit_web_view_new)() = nullptr;
  void (*webkit_web_view_load_uri)(GtkWidget* View, const gchar* Uri) = nullptr;
  GObject* (*webkit_web_view_get_settings)(GtkWidget* View) = nullptr;
  void* (*webkit_navigation_policy_decision_get_navigation_action)(void* Decision) = nullptr;
  void* (*webkit_navigation_action_get_request)(void* Action) = nullptr;
  const gchar* (*webkit_uri_request_get_uri)(void* Request) = nullptr;
  void (*webkit_policy_decision_ignore)(void* Decision) = nullptr;
};

// WebKit loaded with every function found, or none when it cannot be used
// safely in this process or is not installed (the page then goes to the
// desktop's browser). GTK must be open first: WebKit's widgets are GTK's.
std::optional<TWebKitApi> OpenWebKit();

}  // namespace os::webkit
