// Export through the real save dialog of the Windows editor services. A hook on this
// thread answers each dialog as it opens (reading what it shows first), so the tests
// run unattended; they need a display and skip without one.
#include <windows.h>
// The rest of the system headers need windows.h first.

#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "midi/transfer_win32.h"
#include "view.h"
#include "win32_test_support.h"
#include "work_dir.h"

namespace tavrena {
namespace {

namespace fs = std::filesystem;
using testing::fileBytes;
using testing::freshWorkDir;
using testing::readWhole;
using testing::soloState;

std::wstring textOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool isDialog(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return std::wstring(name) == L"#32770";
}

void press(HWND dialog, int button) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// Answers the dialogs this thread opens while it lives: the first (the save dialog) is
// cancelled, or given a file name and accepted; any later one (the overwrite prompt)
// gets `promptAnswer`. Each is read and answered a moment after it appears, once it has
// filled in its controls, by a thread timer that the dialog's own message loop runs.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::optional<std::wstring> accept = std::nullopt,
                          int promptAnswer = IDYES)
      : accept_(std::move(accept)), promptAnswer_(promptAnswer) {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, &DialogAnswerer::onEvent, nullptr, GetCurrentThreadId());
  }
  ~DialogAnswerer() {
    if (answerTimer_) KillTimer(nullptr, answerTimer_);
    if (hook_) UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;

  bool hooked() const { return hook_ != nullptr; }

  std::vector<HWND> dialogs;
  std::wstring shownName;
  std::vector<std::wstring> fileTypes;
  HWND owner = reinterpret_cast<HWND>(1);

 private:
  static LRESULT CALLBACK onEvent(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && current_) current_->activated(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static void CALLBACK onAnswerDue(HWND, UINT, UINT_PTR, DWORD) {
    if (!current_) return;
    KillTimer(nullptr, current_->answerTimer_);
    current_->answerTimer_ = 0;
    if (!current_->dialogs.empty()) current_->answer(current_->dialogs.back());
  }

  static HWND nameField(HWND dialog) {
    // The explorer-style dialog names the file in a combo box, the older one in an edit.
    if (HWND combo = GetDlgItem(dialog, cmb13)) return combo;
    return GetDlgItem(dialog, edt1);
  }

  void activated(HWND window) {
    if (!isDialog(window)) return;
    for (HWND seen : dialogs)
      if (seen == window) return;  // activated again once a prompt closes
    dialogs.push_back(window);
    if (!answerTimer_) answerTimer_ = SetTimer(nullptr, 0, 300, &DialogAnswerer::onAnswerDue);
  }

  void answer(HWND window) {
    if (!IsWindow(window)) return;
    if (dialogs.size() > 1) {
      press(window, promptAnswer_);
      return;
    }
    owner = GetWindow(window, GW_OWNER);
    const HWND field = nameField(window);
    if (field) shownName = textOf(field);
    if (HWND types = GetDlgItem(window, cmb1)) {
      const auto count = SendMessageW(types, CB_GETCOUNT, 0, 0);
      for (LRESULT i = 0; i < count; ++i) {
        std::wstring item(static_cast<std::size_t>(SendMessageW(types, CB_GETLBTEXTLEN, i, 0)) + 1,
                          L'\0');
        item.resize(static_cast<std::size_t>(
            SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
        fileTypes.push_back(item);
      }
    }
    if (accept_ && field) {
      SetWindowTextW(field, accept_->c_str());
      press(window, IDOK);
    } else {
      press(window, IDCANCEL);
    }
  }

  static inline DialogAnswerer* current_ = nullptr;
  std::optional<std::wstring> accept_;
  int promptAnswer_;
  HHOOK hook_ = nullptr;
  UINT_PTR answerTimer_ = 0;
};

// Relative names would land in the current folder: the tests keep it on a fresh one.
class SaveDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = freshWorkDir("windows_save_dialog");
    previous = fs::current_path();
    fs::current_path(folder);
  }
  void TearDown() override { fs::current_path(previous); }

  bool exportNow(const Json& state) {
    std::shared_ptr<EditorServices> services = editorServicesFor(nullptr);
    if (!services) throw std::runtime_error("no editor services on Windows");
    return exportMidiFile(state, *services);
  }

  fs::path folder, previous;
};

TEST(SaveDialogBuffer, HoldsTheSuggestedNameCutToFit) {
  const std::vector<wchar_t> plain = saveDialogBuffer("take1.mid");
  ASSERT_EQ(plain.size(), 32768u);
  EXPECT_EQ(std::wstring(plain.data()), L"take1.mid");
  EXPECT_EQ(std::wstring(saveDialogBuffer("Соло 🎸.mid").data()), L"Соло \U0001F3B8.mid");
  EXPECT_EQ(saveDialogBuffer("")[0], L'\0');

  // 32767 units and the terminating zero fill it exactly.
  const std::vector<wchar_t> longest = saveDialogBuffer(std::string(40000, 'a'));
  ASSERT_EQ(longest.size(), 32768u);
  EXPECT_EQ(std::wstring(longest.data()), std::wstring(32767, L'a'));
  // A character of two units that does not fit goes whole.
  const std::vector<wchar_t> split = saveDialogBuffer(std::string(32766, 'a') + "🎸");
  EXPECT_EQ(std::wstring(split.data()), std::wstring(32766, L'a'));
  const std::vector<wchar_t> fits = saveDialogBuffer(std::string(32765, 'a') + "🎸");
  EXPECT_EQ(std::wstring(fits.data()), std::wstring(32765, L'a') + L"\U0001F3B8");
}

TEST(SaveDialogBuffer, Utf8AndUtf16RoundTrip) {
  const std::string text = "C:\\Музыка\\дубль 1 — 🎸.mid";
  EXPECT_EQ(utf8ToUtf16(text), L"C:\\Музыка\\дубль 1 — \U0001F3B8.mid");
  EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text)), text);
  EXPECT_EQ(utf8ToUtf16("a\xFF"
                        "b"),
            L"a\uFFFDb");  // never dropped silently
  EXPECT_EQ(utf8ToUtf16(""), L"");
}

TEST_F(SaveDialog, OffersTheFileNamePartOfTheOutputAndCancelWritesNothing) {
  SKIP_WITHOUT_DISPLAY();
  const std::pair<const char*, const wchar_t*> rows[] = {{"C:\\Music\\take1.mid", L"take1.mid"},
                                                         {"C:\\Music\\", L""},
                                                         {"Соло/дубль.mid", L"дубль.mid"}};
  for (const auto& [output, shown] : rows) {
    DialogAnswerer answerer;
    ASSERT_TRUE(answerer.hooked());
    EXPECT_FALSE(exportNow(soloState(output))) << output;
    ASSERT_EQ(answerer.dialogs.size(), 1u) << output;
    EXPECT_EQ(answerer.shownName, shown) << output;
    EXPECT_EQ(answerer.owner, nullptr) << output;
    EXPECT_EQ(answerer.fileTypes, std::vector<std::wstring>{L"MIDI (*.mid)"}) << output;
  }
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(SaveDialog, AnInvalidStateIsRefusedBeforeTheDialogOpens) {
  DialogAnswerer answerer;
  Json state = soloState("solo.mid");
  state["config"]["bpm"] = 0;
  EXPECT_ANY_THROW(exportNow(state));
  EXPECT_TRUE(answerer.dialogs.empty());
}

TEST_F(SaveDialog, TheChosenNameGetsTheMidiExtensionAndTheWholeFile) {
  SKIP_WITHOUT_DISPLAY();
  const fs::path elsewhere = folder / "elsewhere";
  fs::create_directories(elsewhere);
  const Json state = soloState("take1.mid");
  {
    DialogAnswerer answerer((elsewhere / L"Соло 1").wstring());
    EXPECT_TRUE(exportNow(state));
    EXPECT_EQ(answerer.dialogs.size(), 1u);
  }
  const fs::path written = elsewhere / L"Соло 1.mid";
  ASSERT_TRUE(fs::exists(written));
  EXPECT_EQ(readWhole(written), fileBytes(state));
  // The dialog must not move the host's current folder.
  EXPECT_TRUE(fs::equivalent(fs::current_path(), folder));
}

TEST_F(SaveDialog, ReplacingAFileAsksFirst) {
  SKIP_WITHOUT_DISPLAY();
  const fs::path existing = folder / "take1.mid";
  std::ofstream(existing, std::ios::binary) << "an older take";
  const Json state = soloState("take1.mid");
  {
    DialogAnswerer answerer(existing.wstring(), IDYES);
    EXPECT_TRUE(exportNow(state));
    EXPECT_EQ(answerer.dialogs.size(), 2u) << "no overwrite prompt";
  }
  EXPECT_EQ(readWhole(existing), fileBytes(state));
}

}  // namespace
}  // namespace tavrena
