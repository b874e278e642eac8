#include "platform/posix/WebKit.posix.h"

#include <dlfcn.h>

#include <algorithm>

namespace os::webkit {

namespace {

bool HoldsAny(const TWebKitBuild& Build, const TIsLoaded& IsLoaded) {
  return IsLoaded(Build.WebKit) || IsLoaded(Build.JavaScriptCore) || IsLoaded(Build.Soup);
}

bool HoldsAnotherWebKit(const TIsLoaded& IsLoaded) {
  return std::any_of(std::begin(kOtherWebKits), std::end(kOtherWebKits), IsLoaded);
}

// Like GTK, WebKit stays loaded for the process's life once loaded: its
// threads and types outlive any window.
void* LoadLibrary(const char* LibraryName) { return ::dlopen(LibraryName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE); }

template <typename Pointer>
bool Resolve(void* Library, const char* Name, Pointer& Function) {
  Function = reinterpret_cast<Pointer>(::dlsym(Library, Name));
  return Function != nullptr;
}

}  // namespace

const TWebKitBuild* ChooseBuild(const TIsLoaded& IsLoaded, const TCanLoad& CanLoad) {
  if (HoldsAnotherWebKit(IsLoaded)) return nullptr;
  const TWebKitBuild* Held = nullptr;
  for (const TWebKitBuild& Build : kOurBuilds) {
    if (!HoldsAny(Build, IsLoaded)) continue;
    // Parts of two builds in one process: neither may be added.
    if (Held != nullptr) return nullptr;
    Held = &Build;
  }
  if (Held != nullptr) return CanLoad(Held->WebKit) ? Held : nullptr;
  const auto Loadable = std::find_if(std::begin(kOurBuilds), std::end(kOurBuilds),
                                     [&](const TWebKitBuild& Build) { return CanLoad(Build.WebKit); });
  return Loadable != std::end(kOurBuilds) ? &*Loadable : nullptr;
}

std::optional<TWebKitApi> OpenWebKit() {
  void* Library = nullptr;
  const TWebKitBuild* Build = ChooseBuild(&gtk::IsLibraryLoaded, [&](const char* Name) {
    Library = LoadLibrary(Name);
    return Library != nullptr;
  });
  if (Build == nullptr) return std::nullopt;
  TWebKitApi Api;
  const bool Complete =
      Resolve(Library, "webkit_web_view_new", Api.webkit_web_view_new) &&
      Resolve(Library, "webkit_web_view_load_uri", Api.webkit_web_view_load_uri) &&
      Resolve(Library, "webkit_web_view_get_settings", Api.webkit_web_view_get_settings) &&
      Resolve(Library, "webkit_navigation_policy_decision_get_navigation_action",
              Api.webkit_navigation_policy_decision_get_navigation_action) &&
      Resolve(Library, "webkit_navigation_action_get_request", Api.webkit_navigation_action_get_request) &&
      Resolve(Library, "webkit_uri_request_get_uri", Api.webkit_uri_request_get_uri) &&
      Resolve(Library, "webkit_policy_decision_ignore", Api.webkit_policy_decision_ignore);
  if (!Complete) return std::nullopt;
  return Api;
}

}  // namespace os::webkit
