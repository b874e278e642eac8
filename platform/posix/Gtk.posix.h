#pragma once
// GTK 3 as the driver's windows use it: loaded at run time, never linked, so
// that the library loads and takes payments where no GTK is installed and no
// display exists (a server, CI). Its types and functions are declared by us
// (GtkDeclarations.posix.h); every call goes through the pointers of TGtkApi.
// Shared by every window of ours.

#include <string>
#include <string_view>

#include "platform/posix/GtkDeclarations.posix.h"

namespace os::gtk {

inline constexpr const char* kGtk3Library = "libgtk-3.so.0";
// Loading GTK 3 into a process that holds GTK 2 aborts it: GTK 2 is looked for first.
inline constexpr const char* kGtk2Library = "libgtk-x11-2.0.so.0";

struct TGtkApi {
#define ORVEX_GTK_POINTER(Name, Result, Parameters) Result(*Name) Parameters = nullptr;
  ORVEX_GTK_FUNCTIONS(ORVEX_GTK_POINTER)
#undef ORVEX_GTK_POINTER
};

// GTK 3 ready for windows: loaded (LibraryName: the loader's seam, a machine
// without GTK 3 is a name that does not exist), every function found, and a
// display open, the host's own when it has initialised GTK, otherwise one
// opened here without touching the process's locale. Raises an Exception that
// says, in the user's words, why no window can be shown; in a process running
// with raised rights (set-user-ID) before anything is loaded, so that neither
// GTK nor WebKit, which needs GTK open first, is ever loaded there.
TGtkApi OpenGtk(const char* LibraryName = kGtk3Library);

// The window to put ours over: the host's active GTK window, or none.
GtkWindow* ActiveHostWindow(const TGtkApi& Gtk);

// Window is made modal over the host's active window, shown, and a nested main
// loop runs on the calling thread until the window is destroyed (the close
// button, gtk_window_close, Escape).
void RunModal(const TGtkApi& Gtk, GtkWindow* Window);

// The screen's resolution in dots per inch (96 where it does not say).
double ScreenDpi(const TGtkApi& Gtk);

// Our forms were drawn at 120 dpi: a window's default size is scaled from
// there to the screen's resolution.
inline constexpr double kFormDpi = 120.0;
inline int Scaled(int Pixels, double Factor) { return static_cast<int>(Pixels * Factor + 0.5); }
void SetFormDefaultSize(const TGtkApi& Gtk, GtkWindow* Window, int FormWidth, int FormHeight);

// Whether a library of that file name is already in the process; loads nothing.
bool IsLibraryLoaded(const char* LibraryName);

// The file: URI of a local path; raises an Exception when it has none.
std::string FileUri(const TGtkApi& Gtk, const std::u16string& Path);
// The local path a file: URI names (without its query or fragment, dot
// segments resolved); empty for any other URI.
std::u16string PathOfFileUri(const TGtkApi& Gtk, const std::string& Uri);
// Hands the URI to the desktop's default application for it (the browser for
// a web page); raises an Exception with the desktop's reason when none took it.
void OpenInDefaultApp(const TGtkApi& Gtk, const std::string& Uri);

// The project's icon on the window: the icon file the Windows build carries as
// its icon resource, embedded here as a table entry (ORVEX_RESOURCE_ICONS in
// resources/) and decoded by GdkPixbuf's own icon loader, which takes its
// largest picture. A picture that cannot be decoded leaves the desktop's
// default icon.
inline constexpr std::u16string_view kProjectIconResource = u"APPICON";
void SetProjectIcon(const TGtkApi& Gtk, GtkWindow* Window);

// A modal error message box over Parent; returns when the user closed it.
void ShowErrorDialog(const TGtkApi& Gtk, GtkWindow* Parent, std::u16string_view Message);

// Connects a signal of any GTK object to a plain function; the object's data
// pointer is the handler's last argument.
template <typename Handler>
void Connect(const TGtkApi& Gtk, void* Object, const char* Signal, Handler* Function, void* Data) {
  Gtk.g_signal_connect_data(Object, Signal, reinterpret_cast<GCallback>(Function), Data, nullptr, GConnectFlags{});
}

}  // namespace os::gtk
