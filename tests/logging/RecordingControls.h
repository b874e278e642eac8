#pragma once
// The log viewer's controls for the tests of its logic, without a window.
#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>

#include "platform/LogViewerWindow.h"

namespace logtest {

// What a window would show, and what the logic asked of it.
class TRecordingControls final : public os::ILogViewerControls {
public:
  std::vector<std::u16string> Files;
  std::u16string Selected;
  int Encoding = 0;
  std::u16string Text;
  int Loads = 0;
  std::size_t Caret = 0;
  std::vector<std::u16string> Errors;
  std::vector<std::u16string> Explored;
  // Runs inside ShowError, as a timer tick arrives while a message box waits.
  std::function<void()> WhileErrorShown;

  void SetFileNames(const std::vector<std::u16string>& Names) override {
    Files = Names;
    Selected.clear();
  }
  void SelectFileName(std::u16string_view Name) override { Selected = Name; }
  std::u16string SelectedFileName() const override { return Selected; }
  int EncodingIndex() const override { return Encoding; }
  void ReplaceText(std::u16string_view NewText) override {
    Text = NewText;
    Caret = 0;
    ++Loads;
  }
  std::size_t CaretPosition() const override { return Caret; }
  void RestoreCaret(std::size_t Position) override { Caret = std::min(Position, Text.size()); }
  void ShowError(std::u16string_view Message) override {
    Errors.emplace_back(Message);
    if (WhileErrorShown) WhileErrorShown();
  }
  void ExploreFolder(const std::u16string& Folder) override { Explored.push_back(Folder); }
};

// gmock's HasSubstr takes no UTF-16 text.
inline auto Mentions(std::u16string Part) {
  return ::testing::Truly([Part](const std::u16string& Text) { return Text.find(Part) != std::u16string::npos; });
}

}  // namespace logtest
