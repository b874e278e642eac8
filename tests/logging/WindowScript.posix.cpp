#include "WindowScript.posix.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace windowtest {

namespace {
constexpr guint kPollIntervalMs = 50;

bool IsSet(const char* Variable) {
  const char* Value = std::getenv(Variable);
  return Value != nullptr && *Value != '\0';
}
}  // namespace

bool HasDisplay() { return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"); }

GtkWindow* FindWindow(const char* Caption) {
  GList* Windows = gtk_window_list_toplevels();
  GtkWindow* Found = nullptr;
  for (GList* Item = Windows; Item != nullptr && Found == nullptr; Item = Item->next) {
    GtkWindow* Window = GTK_WINDOW(Item->data);
    const char* Title = gtk_window_get_title(Window);
    if (Title != nullptr && std::strcmp(Title, Caption) == 0 && gtk_widget_get_mapped(GTK_WIDGET(Window))) {
      Found = Window;
    }
  }
  g_list_free(Windows);
  return Found;
}

GtkWidget* FindNamed(GtkWidget* Root, const char* Name) {
  if (Root == nullptr) return nullptr;
  if (std::strcmp(gtk_widget_get_name(Root), Name) == 0) return Root;
  if (!GTK_IS_CONTAINER(Root)) return nullptr;
  GList* Children = gtk_container_get_children(GTK_CONTAINER(Root));
  GtkWidget* Found = nullptr;
  for (GList* Item = Children; Item != nullptr && Found == nullptr; Item = Item->next) {
    Found = FindNamed(GTK_WIDGET(Item->data), Name);
  }
  g_list_free(Children);
  return Found;
}

std::string ShownText(GtkTextView* View) {
  GtkTextBuffer* Buffer = gtk_text_view_get_buffer(View);
  GtkTextIter Start;
  GtkTextIter End;
  gtk_text_buffer_get_bounds(Buffer, &Start, &End);
  gchar* Text = gtk_text_buffer_get_text(Buffer, &Start, &End, TRUE);
  std::string Result(Text);
  g_free(Text);
  return Result;
}

int CaretOffset(GtkTextView* View) {
  GtkTextBuffer* Buffer = gtk_text_view_get_buffer(View);
  GtkTextIter Caret;
  gtk_text_buffer_get_iter_at_mark(Buffer, &Caret, gtk_text_buffer_get_insert(Buffer));
  return gtk_text_iter_get_offset(&Caret);
}

std::vector<std::string> EntriesOf(GtkComboBox* List) {
  std::vector<std::string> Entries;
  GtkTreeModel* Model = gtk_combo_box_get_model(List);
  GtkTreeIter Row;
  for (gboolean Valid = gtk_tree_model_get_iter_first(Model, &Row); Valid;
       Valid = gtk_tree_model_iter_next(Model, &Row)) {
    gchar* Text = nullptr;
    gtk_tree_model_get(Model, &Row, 0, &Text, -1);
    Entries.emplace_back(Text != nullptr ? Text : "");
    g_free(Text);
  }
  return Entries;
}

std::string ActiveEntry(GtkComboBox* List) {
  gchar* Text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(List));
  std::string Result = Text != nullptr ? Text : "";
  g_free(Text);
  return Result;
}

namespace {

GdkPixbuf* ReadBack(GtkWindow* Window) {
  GdkWindow* Surface = Window != nullptr ? gtk_widget_get_window(GTK_WIDGET(Window)) : nullptr;
  if (Surface == nullptr) return nullptr;
  gdk_display_sync(gdk_window_get_display(Surface));
  return gdk_pixbuf_get_from_window(Surface, 0, 0, gdk_window_get_width(Surface), gdk_window_get_height(Surface));
}

}  // namespace

double DarkPixelShare(GtkWindow* Window) {
  GdkPixbuf* Picture = ReadBack(Window);
  if (Picture == nullptr) return -1.0;
  constexpr int kDarkLevel = 100;
  const int Width = gdk_pixbuf_get_width(Picture);
  const int Height = gdk_pixbuf_get_height(Picture);
  const int Stride = gdk_pixbuf_get_rowstride(Picture);
  const int Channels = gdk_pixbuf_get_n_channels(Picture);
  const guchar* Pixels = gdk_pixbuf_read_pixels(Picture);
  long Dark = 0;
  for (int Y = 0; Y < Height; ++Y) {
    for (int X = 0; X < Width; ++X) {
      const guchar* Pixel = Pixels + Y * Stride + X * Channels;
      if ((Pixel[0] + Pixel[1] + Pixel[2]) / 3 < kDarkLevel) ++Dark;
    }
  }
  g_object_unref(Picture);
  return Width > 0 && Height > 0 ? static_cast<double>(Dark) / (static_cast<double>(Width) * Height) : -1.0;
}

void PressKey(GtkWindow* Window, guint KeyValue) {
  GdkWindow* Surface = gtk_widget_get_window(GTK_WIDGET(Window));
  GdkEvent* Event = gdk_event_new(GDK_KEY_PRESS);
  Event->key.window = GDK_WINDOW(g_object_ref(Surface));
  Event->key.send_event = TRUE;
  Event->key.time = GDK_CURRENT_TIME;
  Event->key.keyval = KeyValue;
  gdk_event_set_device(Event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_window_get_display(Surface))));
  gtk_widget_event(GTK_WIDGET(Window), Event);
  gdk_event_free(Event);
}

std::string SaveScreenshot(GtkWindow* Window, const std::string& Name) {
  GdkPixbuf* Picture = ReadBack(Window);
  if (Picture == nullptr) return {};
  std::filesystem::create_directories(ORVEX_SCREENSHOT_DIR);
  const std::string Path = std::string(ORVEX_SCREENSHOT_DIR) + "/" + Name + ".png";
  const gboolean Saved = gdk_pixbuf_save(Picture, Path.c_str(), "png", nullptr, nullptr);
  g_object_unref(Picture);
  return Saved ? Path : std::string();
}

TWindowScript::~TWindowScript() {
  if (FSource != 0) g_source_remove(FSource);
}

TWindowScript& TWindowScript::Then(std::string Name, Step Action, int TimeoutMs) {
  FSteps.push_back({std::move(Name), std::move(Action), TimeoutMs});
  return *this;
}

// The window is drawn afresh first: read back before its first frame it is black.
TWindowScript& TWindowScript::ThenScreenshot(std::string Name) {
  Then("the window is drawn for the screenshot " + Name, [this] {
    GtkWidget* Window = GTK_WIDGET(FindWindow(FCaption.c_str()));
    if (Window == nullptr) return false;
    if (FDrawHandler == 0) {
      FDrawn = false;
      FDrawHandler = g_signal_connect_after(Window, "draw", G_CALLBACK(&TWindowScript::OnDrawn), this);
      gtk_widget_queue_draw(Window);
      return false;
    }
    if (!FDrawn) return false;
    g_signal_handler_disconnect(Window, FDrawHandler);
    FDrawHandler = 0;
    return true;
  });
  return Then("the screenshot " + Name + " is saved", [this, Name] {
    EXPECT_NE(SaveScreenshot(FindWindow(FCaption.c_str()), Name), "");
    return true;
  });
}

gboolean TWindowScript::OnDrawn(GtkWidget*, cairo_t*, gpointer Self) {
  static_cast<TWindowScript*>(Self)->FDrawn = true;
  return FALSE;
}

void TWindowScript::Start() {
  FStepStarted = g_get_monotonic_time();
  FSource = g_timeout_add(kPollIntervalMs, &Poll, this);
}

gboolean TWindowScript::Poll(gpointer Self) {
  auto* Script = static_cast<TWindowScript*>(Self);
  if (Script->PollOnce()) return G_SOURCE_CONTINUE;
  Script->FSource = 0;
  return G_SOURCE_REMOVE;
}

bool TWindowScript::PollOnce() {
  if (Finished()) return false;
  TStep& Current = FSteps[FNext];
  if (Current.Action()) {
    ++FNext;
    FStepStarted = g_get_monotonic_time();
    return !Finished();
  }
  if (g_get_monotonic_time() - FStepStarted < gint64{Current.TimeoutMs} * 1000) return true;
  ADD_FAILURE() << "step \"" << Current.Name << "\" not done within " << Current.TimeoutMs << " ms";
  if (GtkWindow* Window = FindWindow(FCaption.c_str())) gtk_window_close(Window);
  return false;
}

}  // namespace windowtest
