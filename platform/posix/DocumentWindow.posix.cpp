// The document window on Linux: the page in a WebKitGTK view inside a GTK 3
// window of ours, both loaded at run time.
#include <optional>
#include <string>

#include "platform/DocumentWindow.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "platform/posix/DocumentView.posix.h"
#include "platform/posix/WebKit.posix.h"

namespace os {

namespace {

// GTK's types and values by the names GTK's own code gives them.
using namespace gtk;  // NOLINT(google-build-using-namespace)
using webkit::TWebKitApi;

// The Windows form's size at 120 dpi (506 x 340 at 96 dpi).
constexpr int kFormWidth = 633;
constexpr int kFormHeight = 425;

std::u16string FolderOf(const std::u16string& Path) { return Path.substr(0, Path.rfind(u'/') + 1); }

class TDocumentView {
public:
  TDocumentView(const TGtkApi& Gtk, const TWebKitApi& WebKit, const std::u16string& HtmlPagePath,
                const TOutsideOpener& OpenOutside)
      : FGtk(Gtk), FWebKit(WebKit), FPageFolder(FolderOf(HtmlPagePath)), FOpenOutside(OpenOutside) {}
  ~TDocumentView() {
    if (FWindow != nullptr) FGtk.gtk_widget_destroy(reinterpret_cast<GtkWidget*>(FWindow));
  }
  TDocumentView(const TDocumentView&) = delete;
  TDocumentView& operator=(const TDocumentView&) = delete;

  void Run(const std::u16string& HtmlPagePath, const std::u16string& Caption) {
    const std::string PageUri = gtk::FileUri(FGtk, HtmlPagePath);
    Build(Caption);
    FWebKit.webkit_web_view_load_uri(FView, PageUri.c_str());
    gtk::RunModal(FGtk, FWindow);
  }

private:
  void Build(const std::u16string& Caption) {
    FWindow = reinterpret_cast<GtkWindow*>(FGtk.gtk_window_new(GTK_WINDOW_TOPLEVEL));
    Connect(FGtk, FWindow, "destroy", &OnDestroyed, this);
    FGtk.gtk_window_set_title(FWindow, ToUtf8(Caption).c_str());
    gtk::SetFormDefaultSize(FGtk, FWindow, kFormWidth, kFormHeight);
    gtk::SetProjectIcon(FGtk, FWindow);
    FView = FWebKit.webkit_web_view_new();
    FGtk.gtk_widget_set_name(FView, "document-view");
    // The manual is plain HTML: a page that runs no scripts cannot be turned against the host.
    FGtk.g_object_set(FWebKit.webkit_web_view_get_settings(FView), "enable-javascript", kFalse, nullptr);
    Connect(FGtk, FView, "decide-policy", &OnDecidePolicy, this);
    FGtk.gtk_container_add(reinterpret_cast<GtkContainer*>(FWindow), FView);
  }

  bool IsInPageFolder(const std::string& Uri) const {
    const std::u16string Path = gtk::PathOfFileUri(FGtk, Uri);
    return !Path.empty() && Path.starts_with(FPageFolder);
  }

  // A page of the manual opens here, even one asking for a window of its own;
  // any other address goes out of the window.
  bool Decide(void* Decision, int Type) {
    if (Type != webkit::kNavigationAction && Type != webkit::kNewWindowAction) return false;
    void* Action = FWebKit.webkit_navigation_policy_decision_get_navigation_action(Decision);
    const gchar* Uri = FWebKit.webkit_uri_request_get_uri(FWebKit.webkit_navigation_action_get_request(Action));
    if (Uri == nullptr) return false;
    const std::string Address(Uri);
    if (IsInPageFolder(Address) && Type == webkit::kNavigationAction) return false;
    FWebKit.webkit_policy_decision_ignore(Decision);
    if (IsInPageFolder(Address)) {
      FWebKit.webkit_web_view_load_uri(FView, Uri);
    } else if (!Address.starts_with("about:")) {
      OpenOutside(Address);
    }
    return true;
  }

  void OpenOutside(const std::string& Uri) noexcept {
    try {
      FOpenOutside(Uri);
    } catch (...) {
      ShowErrorQuietly(CurrentExceptionMessage());
    }
  }

  void ShowErrorQuietly(std::u16string_view Message) noexcept {
    try {
      gtk::ShowErrorDialog(FGtk, FWindow, Message);
    } catch (...) {
      // Nowhere left to tell it: the window stays usable.
    }
  }

  static gboolean OnDecidePolicy(GtkWidget*, void* Decision, int Type, gpointer Self) {
    try {
      return static_cast<TDocumentView*>(Self)->Decide(Decision, Type) ? kTrue : kFalse;
    } catch (...) {
      // Nothing may leave a GTK callback by exception; WebKit decides as it would.
      return kFalse;
    }
  }

  static void OnDestroyed(GtkWidget*, gpointer Self) { static_cast<TDocumentView*>(Self)->FWindow = nullptr; }

  const TGtkApi& FGtk;
  const TWebKitApi& FWebKit;
  const std::u16string FPageFolder;
  const TOutsideOpener& FOpenOutside;
  GtkWindow* FWindow = nullptr;
  GtkWidget* FView = nullptr;
};

TDocumentShown ShowInBrowser(const TGtkApi& Gtk, const std::u16string& HtmlPagePath, const std::u16string& Caption,
                             const TOutsideOpener& OpenOutside) {
  try {
    OpenOutside(gtk::FileUri(Gtk, HtmlPagePath));
  } catch (const Exception& Error) {
    throw Exception(u"Окно \"" + Caption +
                    u"\" не может быть показано: WebKitGTK не установлен или несовместим с уже загруженным в "
                    u"процесс, а браузер по умолчанию не открыл страницу. " +
                    Error.Message());
  }
  return TDocumentShown::InBrowser;
}

}  // namespace

TDocumentShown ShowDocument(const TGtkApi& Gtk, const std::u16string& HtmlPagePath, const std::u16string& Caption,
                            const TOutsideOpener& OpenOutside) {
  const std::optional<TWebKitApi> WebKit = webkit::OpenWebKit();
  if (!WebKit) return ShowInBrowser(Gtk, HtmlPagePath, Caption, OpenOutside);
  TDocumentView View(Gtk, *WebKit, HtmlPagePath, OpenOutside);
  View.Run(HtmlPagePath, Caption);
  return TDocumentShown::InWindow;
}

TDocumentShown ShowDocumentWindow(const std::u16string& HtmlPagePath, const std::u16string& Caption) {
  const TGtkApi Gtk = gtk::OpenGtk();
  return ShowDocument(Gtk, HtmlPagePath, Caption, [&Gtk](const std::string& Uri) { gtk::OpenInDefaultApp(Gtk, Uri); });
}

}  // namespace os
