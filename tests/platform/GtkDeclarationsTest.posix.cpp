// The library declares what it calls of GTK itself, so that it builds where
// no GTK is installed. A declaration that drifts from GTK's would still
// compile and link (every call goes through a pointer found at run time) and
// then pass wrong arguments or read the wrong field. So here, where GTK's
// headers are at hand, each one is held against GTK's own at compile time:
// every function's type exactly, once our types are read as GTK's; the size
// of every record we hold and the offset of every field we read; every value.
#include <gtk/gtk.h>

#include <cstddef>
#include <type_traits>

#include "platform/posix/Gtk.posix.h"

namespace {

// Our type read as GTK's: each of our records and enumerations stands for
// GTK's of the same name; pointers, const and function types are read
// through. Any other type (int, char, a glib typedef of them) stays as it is.
template <typename T>
struct Theirs {
  using Type = T;
};
template <typename T>
using TheirsT = typename Theirs<T>::Type;
template <typename T>
struct Theirs<T*> {
  using Type = TheirsT<T>*;
};
template <typename T>
struct Theirs<const T> {
  using Type = const TheirsT<T>;
};
template <typename Result, typename... Parameters>
struct Theirs<Result(Parameters...)> {
  using Type = TheirsT<Result>(TheirsT<Parameters>...);
};
template <typename Result, typename... Parameters>
struct Theirs<Result(Parameters..., ...)> {
  using Type = TheirsT<Result>(TheirsT<Parameters>..., ...);
};

// Every record and enumeration of ours.
#define ORVEX_GTK_ENUMS(X) \
  X(GConnectFlags)         \
  X(GtkWindowType)         \
  X(GtkWindowPosition)     \
  X(GtkOrientation)        \
  X(GtkIconSize)           \
  X(GtkPolicyType)         \
  X(GtkDialogFlags)        \
  X(GtkMessageType)        \
  X(GtkButtonsType)        \
  X(PangoEllipsizeMode)
#define ORVEX_GTK_TYPES(X) \
  ORVEX_GTK_ENUMS(X)       \
  X(GObject)               \
  X(GParamSpec)            \
  X(GClosure)              \
  X(GMainLoop)             \
  X(GMainContext)          \
  X(GAppLaunchContext)     \
  X(GdkDisplay)            \
  X(GdkScreen)             \
  X(GdkWindow)             \
  X(GdkPixbuf)             \
  X(GdkPixbufLoader)       \
  X(GtkWidget)             \
  X(GtkWindow)             \
  X(GtkContainer)          \
  X(GtkBox)                \
  X(GtkFixed)              \
  X(GtkButton)             \
  X(GtkComboBox)           \
  X(GtkComboBoxText)       \
  X(GtkCellLayout)         \
  X(GtkAdjustment)         \
  X(GtkScrolledWindow)     \
  X(GtkTextView)           \
  X(GtkTextBuffer)         \
  X(GtkTextMark)           \
  X(GtkDialog)             \
  X(GList)                 \
  X(GError)                \
  X(GtkTextIter)           \
  X(GdkEventKey)

#define ORVEX_READ_AS_THEIRS(Name) \
  template <>                      \
  struct Theirs<os::gtk::Name> {   \
    using Type = ::Name;           \
  };
ORVEX_GTK_TYPES(ORVEX_READ_AS_THEIRS)
#undef ORVEX_READ_AS_THEIRS

}  // namespace

// Expanded inside our namespace, so that the names in the list are ours.
namespace os::gtk {

// GTK marks its variadic functions with a sentinel attribute, which a type
// compared as a template argument leaves behind: no part of the type.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-attributes"
#define ORVEX_CHECK_FUNCTION(Name, Result, Parameters) \
  static_assert(std::is_same_v<TheirsT<Result Parameters>, decltype(::Name)>, #Name " is not declared as GTK does");
ORVEX_GTK_FUNCTIONS(ORVEX_CHECK_FUNCTION)
#undef ORVEX_CHECK_FUNCTION
#pragma GCC diagnostic pop

// The glib types of the functions' parameters, on this architecture.
static_assert(std::is_same_v<gboolean, ::gboolean> && std::is_same_v<gint, ::gint> && std::is_same_v<guint, ::guint>);
static_assert(std::is_same_v<gint8, ::gint8> && std::is_same_v<guint32, ::guint32> && std::is_same_v<GQuark, ::GQuark>);
static_assert(std::is_same_v<gulong, ::gulong> && std::is_same_v<gsize, ::gsize> && std::is_same_v<gdouble, ::gdouble>);
static_assert(std::is_same_v<gchar, ::gchar> && std::is_same_v<guchar, ::guchar> &&
              std::is_same_v<gpointer, ::gpointer>);
static_assert(std::is_same_v<TheirsT<std::remove_pointer_t<GCallback>>, std::remove_pointer_t<::GCallback>>);
static_assert(std::is_same_v<TheirsT<std::remove_pointer_t<GSourceFunc>>, std::remove_pointer_t<::GSourceFunc>>);
static_assert(std::is_same_v<TheirsT<std::remove_pointer_t<GClosureNotify>>, std::remove_pointer_t<::GClosureNotify>>);

// Records: held whole (the iterator), walked (the list), read (the error's
// message, the key's value).
static_assert(sizeof(GtkTextIter) == sizeof(::GtkTextIter) && alignof(GtkTextIter) == alignof(::GtkTextIter));
static_assert(sizeof(GList) == sizeof(::GList) && offsetof(GList, data) == offsetof(::GList, data) &&
              offsetof(GList, next) == offsetof(::GList, next) && offsetof(GList, prev) == offsetof(::GList, prev));
static_assert(offsetof(GError, message) == offsetof(::GError, message));
static_assert(offsetof(GdkEventKey, keyval) == offsetof(::GdkEventKey, keyval) &&
              std::is_same_v<decltype(GdkEventKey::keyval), decltype(::GdkEventKey::keyval)>);

// Enumerations: the same size, and each value we pass the same.
#define ORVEX_CHECK_ENUM_SIZE(Name) static_assert(sizeof(Name) == sizeof(::Name), #Name " differs in size from GTK's");
ORVEX_GTK_ENUMS(ORVEX_CHECK_ENUM_SIZE)
#undef ORVEX_CHECK_ENUM_SIZE
static_assert(static_cast<int>(GTK_WINDOW_TOPLEVEL) == ::GTK_WINDOW_TOPLEVEL);
static_assert(static_cast<int>(GTK_WIN_POS_CENTER) == ::GTK_WIN_POS_CENTER &&
              static_cast<int>(GTK_WIN_POS_CENTER_ON_PARENT) == ::GTK_WIN_POS_CENTER_ON_PARENT);
static_assert(static_cast<int>(GTK_ORIENTATION_VERTICAL) == ::GTK_ORIENTATION_VERTICAL);
static_assert(static_cast<int>(GTK_ICON_SIZE_MENU) == ::GTK_ICON_SIZE_MENU);
static_assert(static_cast<int>(GTK_POLICY_ALWAYS) == ::GTK_POLICY_ALWAYS);
static_assert(static_cast<int>(GTK_DIALOG_MODAL) == ::GTK_DIALOG_MODAL &&
              static_cast<int>(GTK_DIALOG_DESTROY_WITH_PARENT) == ::GTK_DIALOG_DESTROY_WITH_PARENT);
static_assert(static_cast<int>(GTK_MESSAGE_ERROR) == ::GTK_MESSAGE_ERROR);
static_assert(static_cast<int>(GTK_BUTTONS_OK) == ::GTK_BUTTONS_OK);
static_assert(static_cast<int>(PANGO_ELLIPSIZE_END) == ::PANGO_ELLIPSIZE_END);
static_assert(static_cast<int>(G_CONNECT_DEFAULT) == 0);

// GLib's and GDK's macros we spell as constants.
static_assert(kTrue == TRUE && kFalse == FALSE && kSourceContinue == G_SOURCE_CONTINUE);
static_assert(kKeyEscape == GDK_KEY_Escape);

}  // namespace os::gtk
