// The log viewer's GTK 3 view: the controls of the Windows form, laid out the
// same way, and the window's events handed to the logic.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/LogViewerWindow.h"
#include "platform/Text.h"
#include "platform/posix/Gtk.posix.h"

namespace os {

namespace {

// GTK's types and values by the names GTK's own code gives them.
using namespace gtk;  // NOLINT(google-build-using-namespace)

// The form was drawn at 120 dpi: its default size is scaled from there to the
// screen's resolution (707 x 440 at 96 dpi). The top panel keeps the form's
// pixel positions as they are at 96 dpi, scaled only on a denser screen, so
// that a day file's name still fits its list.
constexpr double kPanelDpi = 96.0;
constexpr int kFormWidth = 884;
constexpr int kFormHeight = 550;
constexpr int kPanelHeight = 33;
constexpr int kControlTop = 4;
constexpr int kFileListLeft = 8;
constexpr int kFileListWidth = 257;
constexpr int kFolderButtonLeft = 268;
constexpr int kFolderButtonWidth = 23;
constexpr int kFolderButtonHeight = 24;
constexpr int kEncodingLeft = 305;
constexpr int kEncodingWidth = 80;
// Keeps the first column off the frame, as the Windows edit control's own margin does.
constexpr int kTextLeftMargin = 2;
constexpr guint kTimerIntervalMs = 1000;
constexpr std::array kEncodingNames{"UTF-8", "ANSI", "OEM"};

// GTK's text buffer takes no NUL character; a damaged file may hold some. The
// replacement keeps every position the same in both counts.
std::u16string ShowableText(std::u16string_view Text) {
  std::u16string Shown(Text);
  std::replace(Shown.begin(), Shown.end(), u'\0', u'\uFFFD');
  return Shown;
}

class TLogViewerView final : public ILogViewerControls {
public:
  TLogViewerView(const TGtkApi& Gtk, ILogViewerHandlers& Handlers) : FGtk(Gtk), FHandlers(Handlers) {
    // The controls' first values are the form's, not the user's choice: they report nothing.
    FEvents.Run([this] { Build(); });
  }
  ~TLogViewerView() override { Close(); }
  TLogViewerView(const TLogViewerView&) = delete;
  TLogViewerView& operator=(const TLogViewerView&) = delete;

  void Run() {
    Raise(&ILogViewerHandlers::FormCreate);
    FTimer = FGtk.g_timeout_add(kTimerIntervalMs, &OnTimer, this);
    gtk::RunModal(FGtk, FWindow);
  }

  void SetFileNames(const std::vector<std::u16string>& Names) override {
    FGtk.gtk_combo_box_text_remove_all(FFileList);
    for (const std::u16string& Name : Names) FGtk.gtk_combo_box_text_append_text(FFileList, ToUtf8(Name).c_str());
    FFileNames = Names;
    FGtk.gtk_combo_box_set_active(ComboBox(FFileList), -1);
  }

  void SelectFileName(std::u16string_view Name) override {
    const auto Found = std::find(FFileNames.begin(), FFileNames.end(), Name);
    const bool Listed = !Name.empty() && Found != FFileNames.end();
    FGtk.gtk_combo_box_set_active(ComboBox(FFileList), Listed ? static_cast<gint>(Found - FFileNames.begin()) : -1);
  }

  std::u16string SelectedFileName() const override {
    const gint Index = FGtk.gtk_combo_box_get_active(ComboBox(FFileList));
    const bool Selected = Index >= 0 && static_cast<std::size_t>(Index) < FFileNames.size();
    return Selected ? FFileNames[static_cast<std::size_t>(Index)] : std::u16string();
  }

  int EncodingIndex() const override { return FGtk.gtk_combo_box_get_active(ComboBox(FEncoding)); }

  void ReplaceText(std::u16string_view Text) override {
    FText = ShowableText(Text);
    const std::string Utf8 = ToUtf8(FText);
    FGtk.gtk_text_buffer_set_text(FBuffer, Utf8.data(), static_cast<gint>(Utf8.size()));
    PlaceCaret(0);
  }

  std::size_t CaretPosition() const override {
    GtkTextIter Caret;
    FGtk.gtk_text_buffer_get_iter_at_mark(FBuffer, &Caret, FGtk.gtk_text_buffer_get_insert(FBuffer));
    return CharactersToUtf16Units(FText, static_cast<std::size_t>(FGtk.gtk_text_iter_get_offset(&Caret)));
  }

  void RestoreCaret(std::size_t Position) override {
    PlaceCaret(Utf16UnitsToCharacters(FText, Position));
    FGtk.gtk_widget_grab_focus(FTextView);
  }

  void ShowError(std::u16string_view Message) override { gtk::ShowErrorDialog(FGtk, FWindow, Message); }

  void ExploreFolder(const std::u16string& Folder) override {
    try {
      gtk::OpenInDefaultApp(FGtk, gtk::FileUri(FGtk, Folder));
    } catch (const Exception&) {
      // A desktop without a file manager: the folder's path is in the driver's description.
    }
  }

private:
  GtkComboBox* ComboBox(GtkComboBoxText* Combo) const { return reinterpret_cast<GtkComboBox*>(Combo); }

  void Build() {
    FWindow = reinterpret_cast<GtkWindow*>(FGtk.gtk_window_new(GTK_WINDOW_TOPLEVEL));
    FGtk.gtk_window_set_title(FWindow, "Просмотр лога");
    gtk::SetFormDefaultSize(FGtk, FWindow, kFormWidth, kFormHeight);
    gtk::SetProjectIcon(FGtk, FWindow);
    GtkWidget* Layout = FGtk.gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    FGtk.gtk_box_pack_start(reinterpret_cast<GtkBox*>(Layout), BuildPanel(gtk::ScreenDpi(FGtk) / kPanelDpi), kFalse,
                            kFalse, 0);
    FGtk.gtk_box_pack_start(reinterpret_cast<GtkBox*>(Layout), BuildTextArea(), kTrue, kTrue, 0);
    FGtk.gtk_container_add(reinterpret_cast<GtkContainer*>(FWindow), Layout);
    Connect(FGtk, FWindow, "destroy", &OnDestroyed, this);
  }

  GtkWidget* BuildPanel(double Scale) {
    GtkWidget* Panel = FGtk.gtk_fixed_new();
    FGtk.gtk_widget_set_size_request(Panel, -1, Scaled(kPanelHeight, Scale));
    auto Put = [&](GtkWidget* Control, int Left, int Width, int Height) {
      FGtk.gtk_widget_set_size_request(Control, Scaled(Width, Scale), Height < 0 ? -1 : Scaled(Height, Scale));
      FGtk.gtk_fixed_put(reinterpret_cast<GtkFixed*>(Panel), Control, Scaled(Left, Scale), Scaled(kControlTop, Scale));
    };

    FFileList = NewList("file-list");
    // A long name is cut short with an ellipsis rather than widening the list
    // over the button beside it.
    GList* Cells = FGtk.gtk_cell_layout_get_cells(reinterpret_cast<GtkCellLayout*>(FFileList));
    for (GList* Cell = Cells; Cell != nullptr; Cell = Cell->next) {
      FGtk.g_object_set(Cell->data, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
    }
    FGtk.g_list_free(Cells);
    Connect(FGtk, FFileList, "notify::popup-shown", &OnFileListPopup, this);
    Put(reinterpret_cast<GtkWidget*>(FFileList), kFileListLeft, kFileListWidth, -1);

    GtkWidget* FolderButton = FGtk.gtk_button_new_from_icon_name("folder-open", GTK_ICON_SIZE_MENU);
    FGtk.gtk_widget_set_name(FolderButton, "open-folder");
    FGtk.gtk_widget_set_tooltip_text(FolderButton, "Открыть папку логов");
    Connect(FGtk, FolderButton, "clicked", &OnOpenFolder, this);
    Put(FolderButton, kFolderButtonLeft, kFolderButtonWidth, kFolderButtonHeight);

    FEncoding = NewList("encoding-list");
    for (const char* Name : kEncodingNames) FGtk.gtk_combo_box_text_append_text(FEncoding, Name);
    FGtk.gtk_combo_box_set_active(ComboBox(FEncoding), 0);
    Put(reinterpret_cast<GtkWidget*>(FEncoding), kEncodingLeft, kEncodingWidth, -1);
    return Panel;
  }

  // A drop-down list without free text whose choice reports SelectionChanged.
  GtkComboBoxText* NewList(const char* Name) {
    GtkWidget* List = FGtk.gtk_combo_box_text_new();
    FGtk.gtk_widget_set_name(List, Name);
    Connect(FGtk, List, "changed", &OnSelectionChanged, this);
    return reinterpret_cast<GtkComboBoxText*>(List);
  }

  GtkWidget* BuildTextArea() {
    GtkWidget* Scroller = FGtk.gtk_scrolled_window_new(nullptr, nullptr);
    auto* Scrolled = reinterpret_cast<GtkScrolledWindow*>(Scroller);
    FGtk.gtk_scrolled_window_set_policy(Scrolled, GTK_POLICY_ALWAYS, GTK_POLICY_ALWAYS);
    FGtk.gtk_scrolled_window_set_overlay_scrolling(Scrolled, kFalse);
    FTextView = FGtk.gtk_text_view_new();
    FGtk.gtk_widget_set_name(FTextView, "log-text");
    auto* View = reinterpret_cast<GtkTextView*>(FTextView);
    FGtk.gtk_text_view_set_editable(View, kFalse);
    FGtk.gtk_text_view_set_monospace(View, kTrue);
    FGtk.gtk_text_view_set_left_margin(View, kTextLeftMargin);
    FBuffer = FGtk.gtk_text_view_get_buffer(View);
    FGtk.gtk_container_add(reinterpret_cast<GtkContainer*>(Scroller), FTextView);
    return Scroller;
  }

  void PlaceCaret(std::size_t Characters) {
    GtkTextIter Caret;
    FGtk.gtk_text_buffer_get_iter_at_offset(FBuffer, &Caret, static_cast<gint>(Characters));
    FGtk.gtk_text_buffer_place_cursor(FBuffer, &Caret);
    FGtk.gtk_text_view_scroll_to_mark(reinterpret_cast<GtkTextView*>(FTextView),
                                      FGtk.gtk_text_buffer_get_insert(FBuffer), 0.0, kFalse, 0.0, 0.0);
  }

  // Nothing may leave a GTK callback by exception.
  void Raise(void (ILogViewerHandlers::*Handler)(ILogViewerControls&)) {
    if (FWindow == nullptr) return;
    FEvents.Run([&] {
      try {
        (FHandlers.*Handler)(*this);
      } catch (...) {
        ShowErrorQuietly(CurrentExceptionMessage());
      }
    });
  }

  void ShowErrorQuietly(std::u16string_view Message) noexcept {
    try {
      ShowError(Message);
    } catch (...) {
      // Nowhere left to tell it: the window stays usable.
    }
  }

  void Close() noexcept {
    StopTimer();
    if (FWindow != nullptr) FGtk.gtk_widget_destroy(reinterpret_cast<GtkWidget*>(FWindow));
  }

  void StopTimer() noexcept {
    if (FTimer != 0) FGtk.g_source_remove(FTimer);
    FTimer = 0;
  }

  static void OnDestroyed(GtkWidget*, gpointer Self) {
    auto* View = static_cast<TLogViewerView*>(Self);
    View->StopTimer();
    View->FWindow = nullptr;
  }

  static gboolean OnTimer(gpointer Self) {
    static_cast<TLogViewerView*>(Self)->Raise(&ILogViewerHandlers::tmrCheckFileTimer);
    return kSourceContinue;
  }

  static void OnSelectionChanged(GtkComboBox*, gpointer Self) {
    static_cast<TLogViewerView*>(Self)->Raise(&ILogViewerHandlers::cbbLogFilesChange);
  }

  static void OnFileListPopup(GObject* List, GParamSpec*, gpointer Self) {
    auto* View = static_cast<TLogViewerView*>(Self);
    gboolean Shown = kFalse;
    View->FGtk.g_object_get(List, "popup-shown", &Shown, nullptr);
    if (Shown) View->Raise(&ILogViewerHandlers::cbbLogFilesDropDown);
  }

  static void OnOpenFolder(GtkButton*, gpointer Self) {
    static_cast<TLogViewerView*>(Self)->Raise(&ILogViewerHandlers::btnOpenDirClick);
  }

  const TGtkApi& FGtk;
  ILogViewerHandlers& FHandlers;
  GtkWindow* FWindow = nullptr;
  GtkComboBoxText* FFileList = nullptr;
  GtkComboBoxText* FEncoding = nullptr;
  GtkWidget* FTextView = nullptr;
  GtkTextBuffer* FBuffer = nullptr;
  guint FTimer = 0;
  TOneEventAtATime FEvents;
  std::vector<std::u16string> FFileNames;
  // The text shown, in UTF-16: caret positions cross between its units and GTK's characters.
  std::u16string FText;
};

}  // namespace

void ShowLogViewerWindow(ILogViewerHandlers& Handlers) {
  const TGtkApi Gtk = gtk::OpenGtk();
  TLogViewerView View(Gtk, Handlers);
  View.Run();
}

}  // namespace os
