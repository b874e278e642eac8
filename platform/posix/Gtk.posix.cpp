#include "platform/posix/Gtk.posix.h"

#include <dlfcn.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/Text.h"

namespace os::gtk {

namespace {

[[noreturn]] void RaiseNoWindow(std::u16string_view Reason) {
  throw Exception(u"Окно не может быть показано: " + std::u16string(Reason));
}

// GTK cannot be unloaded safely (its types, threads and display connection
// stay registered with GLib): once loaded it stays for the process's life.
void* LoadLibrary(const char* LibraryName) {
  if (IsLibraryLoaded(kGtk2Library)) RaiseNoWindow(u"в процессе уже загружена библиотека GTK 2 (libgtk-x11-2.0.so.0)");
  void* Handle = ::dlopen(LibraryName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (Handle == nullptr) {
    RaiseNoWindow(u"библиотека GTK 3 (" + FromUtf8(LibraryName) + u") не установлена");
  }
  return Handle;
}

template <typename Pointer>
void Resolve(void* Library, const char* LibraryName, const char* Name, Pointer& Function) {
  Function = reinterpret_cast<Pointer>(::dlsym(Library, Name));
  if (Function == nullptr) {
    RaiseNoWindow(u"в библиотеке " + FromUtf8(LibraryName) + u" нет функции " + FromUtf8(Name));
  }
}

// The kernel's word (AT_SECURE) covers set-user-ID, set-group-ID and file
// capabilities; the ids cover a host that changed its own. Such a process
// must not load GTK at all: GTK ends it with exit() rather than start, and
// what GTK and its modules read from the environment is the user's choice.
bool RunsWithRaisedRights() {
  if (::getauxval(AT_SECURE) != 0) return true;
  uid_t RealUser = 0, EffectiveUser = 0, SavedUser = 0;
  gid_t RealGroup = 0, EffectiveGroup = 0, SavedGroup = 0;
  if (::getresuid(&RealUser, &EffectiveUser, &SavedUser) != 0 ||
      ::getresgid(&RealGroup, &EffectiveGroup, &SavedGroup) != 0)
    return true;
  return RealUser != EffectiveUser || RealUser != SavedUser || RealGroup != EffectiveGroup || RealGroup != SavedGroup;
}

TGtkApi LoadApi(const char* LibraryName) {
  if (RunsWithRaisedRights()) {
    RaiseNoWindow(
        u"программа работает с правами другого пользователя или группы (set-user-ID, set-group-ID), "
        u"а GTK в такой программе не запускается");
  }
  void* Library = LoadLibrary(LibraryName);
  TGtkApi Api;
#define ORVEX_GTK_RESOLVE(Name, Result, Parameters) Resolve(Library, LibraryName, #Name, Api.Name);
  ORVEX_GTK_FUNCTIONS(ORVEX_GTK_RESOLVE)
#undef ORVEX_GTK_RESOLVE
  return Api;
}

bool HasDisplayVariable() {
  for (const char* Name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* Value = std::getenv(Name);
    if (Value != nullptr && *Value != '\0') return true;
  }
  return false;
}

// The host's GTK, when it has one, is already initialised with its display;
// otherwise GTK is initialised here, leaving the host's locale as it is.
void OpenDisplay(const TGtkApi& Gtk) {
  if (Gtk.gdk_display_get_default() != nullptr) return;
  if (!HasDisplayVariable()) RaiseNoWindow(u"нет графического дисплея (DISPLAY и WAYLAND_DISPLAY не заданы)");
  Gtk.gtk_disable_setlocale();
  if (!Gtk.gtk_init_check(nullptr, nullptr)) RaiseNoWindow(u"не удалось подключиться к графическому дисплею");
}

struct TModalLoop {
  const TGtkApi& Gtk;
  GMainLoop* Loop;
};

void QuitLoopWhenDestroyed(GtkWidget*, gpointer Data) {
  const auto* Modal = static_cast<TModalLoop*>(Data);
  Modal->Gtk.g_main_loop_quit(Modal->Loop);
}

gboolean CloseOnEscape(GtkWidget* Window, GdkEventKey* Event, gpointer Data) {
  if (Event->keyval != kKeyEscape) return kFalse;
  static_cast<TModalLoop*>(Data)->Gtk.gtk_window_close(reinterpret_cast<GtkWindow*>(Window));
  return kTrue;
}

// Takes the message out of a GError and frees it.
std::u16string MessageOf(const TGtkApi& Gtk, GError* Error) {
  std::u16string Message = FromUtf8(Error != nullptr && Error->message != nullptr ? Error->message : "");
  if (Error != nullptr) Gtk.g_error_free(Error);
  return Message;
}

}  // namespace

bool IsLibraryLoaded(const char* LibraryName) {
  void* Handle = ::dlopen(LibraryName, RTLD_NOLOAD | RTLD_LAZY);
  if (Handle == nullptr) return false;
  ::dlclose(Handle);
  return true;
}

std::string FileUri(const TGtkApi& Gtk, const std::u16string& Path) {
  GError* Error = nullptr;
  gchar* Uri = Gtk.g_filename_to_uri(ToUtf8(Path).c_str(), nullptr, &Error);
  if (Uri == nullptr) throw Exception(u"Путь " + Path + u" не переводится в адрес file: " + MessageOf(Gtk, Error));
  std::string Result(Uri);
  Gtk.g_free(Uri);
  return Result;
}

std::u16string PathOfFileUri(const TGtkApi& Gtk, const std::string& Uri) {
  // GLib refuses a file: URI with a query or a fragment; they name no other file.
  const std::string Document = Uri.substr(0, Uri.find_first_of("?#"));
  gchar* Path = Gtk.g_filename_from_uri(Document.c_str(), nullptr, nullptr);
  if (Path == nullptr) return {};
  // Dot segments name the folder they lead to, not the one they are written under.
  std::u16string Result = FromUtf8(std::filesystem::path(Path).lexically_normal().native());
  Gtk.g_free(Path);
  return Result;
}

void OpenInDefaultApp(const TGtkApi& Gtk, const std::string& Uri) {
  GError* Error = nullptr;
  if (Gtk.g_app_info_launch_default_for_uri(Uri.c_str(), nullptr, &Error)) return;
  throw Exception(u"Адрес " + FromUtf8(Uri) + u" не удалось открыть: " + MessageOf(Gtk, Error));
}

TGtkApi OpenGtk(const char* LibraryName) {
  TGtkApi Gtk = LoadApi(LibraryName);
  OpenDisplay(Gtk);
  return Gtk;
}

GtkWindow* ActiveHostWindow(const TGtkApi& Gtk) {
  GList* Windows = Gtk.gtk_window_list_toplevels();
  GtkWindow* Active = nullptr;
  for (GList* Item = Windows; Item != nullptr && Active == nullptr; Item = Item->next) {
    auto* Window = static_cast<GtkWindow*>(Item->data);
    if (Gtk.gtk_window_is_active(Window)) Active = Window;
  }
  Gtk.g_list_free(Windows);
  return Active;
}

void RunModal(const TGtkApi& Gtk, GtkWindow* Window) {
  if (GtkWindow* Host = ActiveHostWindow(Gtk)) {
    Gtk.gtk_window_set_transient_for(Window, Host);
    Gtk.gtk_window_set_position(Window, GTK_WIN_POS_CENTER_ON_PARENT);
  } else {
    Gtk.gtk_window_set_position(Window, GTK_WIN_POS_CENTER);
  }
  Gtk.gtk_window_set_modal(Window, kTrue);
  TModalLoop Modal{Gtk, Gtk.g_main_loop_new(nullptr, kFalse)};
  Connect(Gtk, Window, "destroy", &QuitLoopWhenDestroyed, &Modal);
  Connect(Gtk, Window, "key-press-event", &CloseOnEscape, &Modal);
  Gtk.gtk_widget_show_all(reinterpret_cast<GtkWidget*>(Window));
  Gtk.g_main_loop_run(Modal.Loop);
  Gtk.g_main_loop_unref(Modal.Loop);
}

double ScreenDpi(const TGtkApi& Gtk) {
  constexpr double kDefaultDpi = 96.0;
  GdkScreen* Screen = Gtk.gdk_screen_get_default();
  const double Dpi = Screen != nullptr ? Gtk.gdk_screen_get_resolution(Screen) : -1.0;
  return Dpi > 0.0 ? Dpi : kDefaultDpi;
}

void SetFormDefaultSize(const TGtkApi& Gtk, GtkWindow* Window, int FormWidth, int FormHeight) {
  const double Factor = ScreenDpi(Gtk) / kFormDpi;
  Gtk.gtk_window_set_default_size(Window, Scaled(FormWidth, Factor), Scaled(FormHeight, Factor));
}

void SetProjectIcon(const TGtkApi& Gtk, GtkWindow* Window) {
  const std::optional<std::string_view> Picture = resources::FindData(kProjectIconResource);
  if (!Picture) return;
  GdkPixbufLoader* Loader = Gtk.gdk_pixbuf_loader_new();
  GError* Error = nullptr;
  const auto* Bytes = reinterpret_cast<const guchar*>(Picture->data());
  // A loader is closed whatever happened; a picture that does not decode
  // leaves the desktop's default icon.
  const bool Written = Gtk.gdk_pixbuf_loader_write(Loader, Bytes, Picture->size(), &Error);
  const bool Closed = Gtk.gdk_pixbuf_loader_close(Loader, Written ? &Error : nullptr);
  GdkPixbuf* Icon = Written && Closed ? Gtk.gdk_pixbuf_loader_get_pixbuf(Loader) : nullptr;
  if (Icon != nullptr) Gtk.gtk_window_set_icon(Window, Icon);
  if (Error != nullptr) Gtk.g_error_free(Error);
  Gtk.g_object_unref(Loader);
}

void ShowErrorDialog(const TGtkApi& Gtk, GtkWindow* Parent, std::u16string_view Message) {
  GtkWidget* Dialog =
      Gtk.gtk_message_dialog_new(Parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                 GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", ToUtf8(Message).c_str());
  Gtk.gtk_window_set_title(reinterpret_cast<GtkWindow*>(Dialog), "Ошибка");
  Gtk.gtk_dialog_run(reinterpret_cast<GtkDialog*>(Dialog));
  Gtk.gtk_widget_destroy(Dialog);
}

}  // namespace os::gtk
