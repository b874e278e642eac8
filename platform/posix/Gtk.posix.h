#pragma once
// GTK 3 as the driver's windows use it: loaded at run time, never linked, so
// that the library loads and takes payments where no GTK is installed and no
// display exists (a server, CI). GTK's headers give the types only; every
// call goes through the pointers of TGtkApi. Shared by every window of ours.
#include <gtk/gtk.h>

#include <string>
#include <string_view>

namespace os::gtk {

inline constexpr const char* kGtk3Library = "libgtk-3.so.0";
// Loading GTK 3 into a process that holds GTK 2 aborts it: GTK 2 is looked for first.
inline constexpr const char* kGtk2Library = "libgtk-x11-2.0.so.0";

// Every GTK, GDK, GLib and GIO function the windows call.
#define ORVEX_GTK_FUNCTIONS(X)                 \
  X(gtk_disable_setlocale)                     \
  X(gtk_init_check)                            \
  X(gdk_display_get_default)                   \
  X(gdk_screen_get_default)                    \
  X(gdk_screen_get_resolution)                 \
  X(gtk_window_new)                            \
  X(gtk_window_set_title)                      \
  X(gtk_window_set_default_size)               \
  X(gtk_window_set_position)                   \
  X(gtk_window_set_modal)                      \
  X(gtk_window_set_transient_for)              \
  X(gtk_window_set_icon)                       \
  X(gtk_window_list_toplevels)                 \
  X(gtk_window_is_active)                      \
  X(gtk_window_close)                          \
  X(gtk_widget_show_all)                       \
  X(gtk_widget_destroy)                        \
  X(gtk_widget_set_name)                       \
  X(gtk_widget_set_size_request)               \
  X(gtk_widget_set_tooltip_text)               \
  X(gtk_widget_grab_focus)                     \
  X(gtk_container_add)                         \
  X(gtk_box_new)                               \
  X(gtk_box_pack_start)                        \
  X(gtk_fixed_new)                             \
  X(gtk_fixed_put)                             \
  X(gtk_button_new_from_icon_name)             \
  X(gtk_combo_box_text_new)                    \
  X(gtk_combo_box_text_append_text)            \
  X(gtk_combo_box_text_remove_all)             \
  X(gtk_combo_box_set_active)                  \
  X(gtk_combo_box_get_active)                  \
  X(gtk_cell_layout_get_cells)                 \
  X(gtk_scrolled_window_new)                   \
  X(gtk_scrolled_window_set_policy)            \
  X(gtk_scrolled_window_set_overlay_scrolling) \
  X(gtk_text_view_new)                         \
  X(gtk_text_view_set_editable)                \
  X(gtk_text_view_set_monospace)               \
  X(gtk_text_view_set_left_margin)             \
  X(gtk_text_view_get_buffer)                  \
  X(gtk_text_view_scroll_to_mark)              \
  X(gtk_text_buffer_set_text)                  \
  X(gtk_text_buffer_get_insert)                \
  X(gtk_text_buffer_get_iter_at_mark)          \
  X(gtk_text_buffer_get_iter_at_offset)        \
  X(gtk_text_buffer_place_cursor)              \
  X(gtk_text_iter_get_offset)                  \
  X(gtk_message_dialog_new)                    \
  X(gtk_dialog_run)                            \
  X(gdk_pixbuf_loader_new)                     \
  X(gdk_pixbuf_loader_write)                   \
  X(gdk_pixbuf_loader_close)                   \
  X(gdk_pixbuf_loader_get_pixbuf)              \
  X(g_signal_connect_data)                     \
  X(g_object_set)                              \
  X(g_object_get)                              \
  X(g_object_unref)                            \
  X(g_list_free)                               \
  X(g_free)                                    \
  X(g_error_free)                              \
  X(g_timeout_add)                             \
  X(g_source_remove)                           \
  X(g_main_loop_new)                           \
  X(g_main_loop_run)                           \
  X(g_main_loop_quit)                          \
  X(g_main_loop_unref)                         \
  X(g_filename_to_uri)                         \
  X(g_filename_from_uri)                       \
  X(g_app_info_launch_default_for_uri)

struct TGtkApi {
#define ORVEX_GTK_POINTER(Name) decltype(&::Name) Name = nullptr;
  ORVEX_GTK_FUNCTIONS(ORVEX_GTK_POINTER)
#undef ORVEX_GTK_POINTER
};

// GTK 3 ready for windows: loaded (LibraryName: the loader's seam, a machine
// without GTK 3 is a name that does not exist), every function found, and a
// display open, the host's own when it has initialised GTK, otherwise one
// opened here without touching the process's locale. Raises an Exception that
// says, in the user's words, why no window can be shown.
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
