#pragma once
// The part of GTK 3, GDK, GLib and GIO our windows call, declared here rather
// than taken from GTK's headers: the library loads GTK at run time and links
// nothing of it, so a machine that builds the driver without showing a window
// (the demo, a server) needs no window toolkit installed at all. Objects stay
// opaque; the few records we read or hold are laid out as GTK lays them out.
// The test build, which has GTK's headers, checks every type, value, record
// and function here against them (tests/platform/GtkDeclarationsTest.posix.cpp).
#include <cstddef>

namespace os::gtk {

using gboolean = int;
using gint = int;
using guint = unsigned int;
using gint8 = signed char;
using guint32 = unsigned int;
using gulong = unsigned long;
using gsize = std::size_t;
using gchar = char;
using guchar = unsigned char;
using gdouble = double;
using gpointer = void*;
using GQuark = guint32;

inline constexpr gboolean kFalse = 0;
inline constexpr gboolean kTrue = 1;
// A timeout handler's answer that keeps it running (G_SOURCE_CONTINUE).
inline constexpr gboolean kSourceContinue = kTrue;
// The Escape key's key value (GDK_KEY_Escape).
inline constexpr guint kKeyEscape = 0xff1b;

// Objects known only by pointer.
struct GObject;
struct GParamSpec;
struct GClosure;
struct GMainLoop;
struct GMainContext;
struct GAppLaunchContext;
struct GdkDisplay;
struct GdkScreen;
struct GdkWindow;
struct GdkPixbuf;
struct GdkPixbufLoader;
struct GtkWidget;
struct GtkWindow;
struct GtkContainer;
struct GtkBox;
struct GtkFixed;
struct GtkButton;
struct GtkComboBox;
struct GtkComboBoxText;
struct GtkCellLayout;
struct GtkAdjustment;
struct GtkScrolledWindow;
struct GtkTextView;
struct GtkTextBuffer;
struct GtkTextMark;
struct GtkDialog;

// Records read or held by value.
struct GList {
  gpointer data;
  GList* next;
  GList* prev;
};

struct GError {
  GQuark domain;
  gint code;
  gchar* message;
};

// A position in a text buffer, held on the stack; its fields are GTK's own.
struct GtkTextIter {
  gpointer dummy1;
  gpointer dummy2;
  gint dummy3;
  gint dummy4;
  gint dummy5;
  gint dummy6;
  gint dummy7;
  gint dummy8;
  gpointer dummy9;
  gpointer dummy10;
  gint dummy11;
  gint dummy12;
  gint dummy13;
  gpointer dummy14;
};

// A key press as GTK hands it to a handler: only its leading fields, up to the
// key value we read.
struct GdkEventKey {
  int type;
  GdkWindow* window;
  gint8 send_event;
  guint32 time;
  guint state;
  guint keyval;
};

enum GConnectFlags { G_CONNECT_DEFAULT = 0 };
enum GtkWindowType { GTK_WINDOW_TOPLEVEL = 0 };
enum GtkWindowPosition { GTK_WIN_POS_CENTER = 1, GTK_WIN_POS_CENTER_ON_PARENT = 4 };
enum GtkOrientation { GTK_ORIENTATION_VERTICAL = 1 };
enum GtkIconSize { GTK_ICON_SIZE_MENU = 1 };
enum GtkPolicyType { GTK_POLICY_ALWAYS = 0 };
enum GtkDialogFlags { GTK_DIALOG_MODAL = 1, GTK_DIALOG_DESTROY_WITH_PARENT = 2 };
enum GtkMessageType { GTK_MESSAGE_ERROR = 3 };
enum GtkButtonsType { GTK_BUTTONS_OK = 1 };
enum PangoEllipsizeMode { PANGO_ELLIPSIZE_END = 3 };

using GCallback = void (*)();
using GSourceFunc = gboolean (*)(gpointer Data);
using GClosureNotify = void (*)(gpointer Data, GClosure* Closure);

// Every function the windows call: X(name, result, (parameters)), as GTK
// declares it.
#define ORVEX_GTK_FUNCTIONS(X)                                                                                   \
  X(gtk_disable_setlocale, void, ())                                                                             \
  X(gtk_init_check, gboolean, (int*, char***))                                                                   \
  X(gdk_display_get_default, GdkDisplay*, ())                                                                    \
  X(gdk_screen_get_default, GdkScreen*, ())                                                                      \
  X(gdk_screen_get_resolution, gdouble, (GdkScreen*))                                                            \
  X(gtk_window_new, GtkWidget*, (GtkWindowType))                                                                 \
  X(gtk_window_set_title, void, (GtkWindow*, const gchar*))                                                      \
  X(gtk_window_set_default_size, void, (GtkWindow*, gint, gint))                                                 \
  X(gtk_window_set_position, void, (GtkWindow*, GtkWindowPosition))                                              \
  X(gtk_window_set_modal, void, (GtkWindow*, gboolean))                                                          \
  X(gtk_window_set_transient_for, void, (GtkWindow*, GtkWindow*))                                                \
  X(gtk_window_set_icon, void, (GtkWindow*, GdkPixbuf*))                                                         \
  X(gtk_window_list_toplevels, GList*, ())                                                                       \
  X(gtk_window_is_active, gboolean, (GtkWindow*))                                                                \
  X(gtk_window_close, void, (GtkWindow*))                                                                        \
  X(gtk_widget_show_all, void, (GtkWidget*))                                                                     \
  X(gtk_widget_destroy, void, (GtkWidget*))                                                                      \
  X(gtk_widget_set_name, void, (GtkWidget*, const gchar*))                                                       \
  X(gtk_widget_set_size_request, void, (GtkWidget*, gint, gint))                                                 \
  X(gtk_widget_set_tooltip_text, void, (GtkWidget*, const gchar*))                                               \
  X(gtk_widget_grab_focus, void, (GtkWidget*))                                                                   \
  X(gtk_container_add, void, (GtkContainer*, GtkWidget*))                                                        \
  X(gtk_box_new, GtkWidget*, (GtkOrientation, gint))                                                             \
  X(gtk_box_pack_start, void, (GtkBox*, GtkWidget*, gboolean, gboolean, guint))                                  \
  X(gtk_fixed_new, GtkWidget*, ())                                                                               \
  X(gtk_fixed_put, void, (GtkFixed*, GtkWidget*, gint, gint))                                                    \
  X(gtk_button_new_from_icon_name, GtkWidget*, (const gchar*, GtkIconSize))                                      \
  X(gtk_combo_box_text_new, GtkWidget*, ())                                                                      \
  X(gtk_combo_box_text_append_text, void, (GtkComboBoxText*, const gchar*))                                      \
  X(gtk_combo_box_text_remove_all, void, (GtkComboBoxText*))                                                     \
  X(gtk_combo_box_set_active, void, (GtkComboBox*, gint))                                                        \
  X(gtk_combo_box_get_active, gint, (GtkComboBox*))                                                              \
  X(gtk_cell_layout_get_cells, GList*, (GtkCellLayout*))                                                         \
  X(gtk_scrolled_window_new, GtkWidget*, (GtkAdjustment*, GtkAdjustment*))                                       \
  X(gtk_scrolled_window_set_policy, void, (GtkScrolledWindow*, GtkPolicyType, GtkPolicyType))                    \
  X(gtk_scrolled_window_set_overlay_scrolling, void, (GtkScrolledWindow*, gboolean))                             \
  X(gtk_text_view_new, GtkWidget*, ())                                                                           \
  X(gtk_text_view_set_editable, void, (GtkTextView*, gboolean))                                                  \
  X(gtk_text_view_set_monospace, void, (GtkTextView*, gboolean))                                                 \
  X(gtk_text_view_set_left_margin, void, (GtkTextView*, gint))                                                   \
  X(gtk_text_view_get_buffer, GtkTextBuffer*, (GtkTextView*))                                                    \
  X(gtk_text_view_scroll_to_mark, void, (GtkTextView*, GtkTextMark*, gdouble, gboolean, gdouble, gdouble))       \
  X(gtk_text_buffer_set_text, void, (GtkTextBuffer*, const gchar*, gint))                                        \
  X(gtk_text_buffer_get_insert, GtkTextMark*, (GtkTextBuffer*))                                                  \
  X(gtk_text_buffer_get_iter_at_mark, void, (GtkTextBuffer*, GtkTextIter*, GtkTextMark*))                        \
  X(gtk_text_buffer_get_iter_at_offset, void, (GtkTextBuffer*, GtkTextIter*, gint))                              \
  X(gtk_text_buffer_place_cursor, void, (GtkTextBuffer*, const GtkTextIter*))                                    \
  X(gtk_text_iter_get_offset, gint, (const GtkTextIter*))                                                        \
  X(gtk_message_dialog_new, GtkWidget*,                                                                          \
    (GtkWindow*, GtkDialogFlags, GtkMessageType, GtkButtonsType, const gchar*, ...))                             \
  X(gtk_dialog_run, gint, (GtkDialog*))                                                                          \
  X(gdk_pixbuf_loader_new, GdkPixbufLoader*, ())                                                                 \
  X(gdk_pixbuf_loader_write, gboolean, (GdkPixbufLoader*, const guchar*, gsize, GError**))                       \
  X(gdk_pixbuf_loader_close, gboolean, (GdkPixbufLoader*, GError**))                                             \
  X(gdk_pixbuf_loader_get_pixbuf, GdkPixbuf*, (GdkPixbufLoader*))                                                \
  X(g_signal_connect_data, gulong, (gpointer, const gchar*, GCallback, gpointer, GClosureNotify, GConnectFlags)) \
  X(g_object_set, void, (gpointer, const gchar*, ...))                                                           \
  X(g_object_get, void, (gpointer, const gchar*, ...))                                                           \
  X(g_object_unref, void, (gpointer))                                                                            \
  X(g_list_free, void, (GList*))                                                                                 \
  X(g_free, void, (gpointer))                                                                                    \
  X(g_error_free, void, (GError*))                                                                               \
  X(g_timeout_add, guint, (guint, GSourceFunc, gpointer))                                                        \
  X(g_source_remove, gboolean, (guint))                                                                          \
  X(g_main_loop_new, GMainLoop*, (GMainContext*, gboolean))                                                      \
  X(g_main_loop_run, void, (GMainLoop*))                                                                         \
  X(g_main_loop_quit, void, (GMainLoop*))                                                                        \
  X(g_main_loop_unref, void, (GMainLoop*))                                                                       \
  X(g_filename_to_uri, gchar*, (const gchar*, const gchar*, GError**))                                           \
  X(g_filename_from_uri, gchar*, (const gchar*, gchar**, GError**))                                              \
  X(g_app_info_launch_default_for_uri, gboolean, (const char*, GAppLaunchContext*, GError**))

}  // namespace os::gtk
