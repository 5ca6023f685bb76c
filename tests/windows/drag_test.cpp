// Drag through the real Windows editor services: the file written to the drag folder,
// OLE's drag loop, and a drop onto a window of this test that reads the file list as a
// host's arrangement would.
#include <gtest/gtest.h>
#include <windows.h>
// The rest of the system headers need windows.h first.

#include <ole2.h>
#include <shellapi.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "view.h"
#include "win32_test_support.h"

namespace tavrena {
namespace {

namespace fs = std::filesystem;
using testing::fileBytes;
using testing::readWhole;
using testing::soloState;

std::set<fs::path> filesIn(const fs::path& folder) {
  std::set<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) files.insert(entry.path());
  return files;
}

// The drag folder before and after: the test removes only the files it made.
class Drag : public ::testing::Test {
 protected:
  void SetUp() override {
    services = editorServicesFor(nullptr);
    ASSERT_NE(services, nullptr);
    const std::optional<fs::path> local = services->LocalDataFolder();
    ASSERT_TRUE(local.has_value());
    folder = dragFolder(*local);
    before = filesIn(folder);
  }
  void TearDown() override {
    std::error_code error;
    for (const fs::path& file : madeHere()) fs::remove(file, error);
  }
  std::vector<fs::path> madeHere() const {
    std::vector<fs::path> made;
    for (const fs::path& file : filesIn(folder))
      if (!before.count(file)) made.push_back(file);
    return made;
  }

  std::shared_ptr<EditorServices> services;
  fs::path folder;
  std::set<fs::path> before;
};

TEST_F(Drag, TheLocalDataFolderIsTheUsersAndExists) {
  const std::optional<fs::path> local = services->LocalDataFolder();
  ASSERT_TRUE(local.has_value());
  EXPECT_TRUE(local->is_absolute()) << local->string();
  EXPECT_TRUE(fs::is_directory(*local)) << local->string();
  wchar_t expected[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", expected, MAX_PATH), 0u);
  EXPECT_TRUE(fs::equivalent(*local, fs::path(expected)));
}

TEST_F(Drag, ADragThatCannotCompleteLeavesItsFileBehind) {
  // Without a drop target under the pointer (or, headless, without a window system) the
  // drag ends without a drop; each attempt still leaves a file of its own.
  const Json state = soloState("solo.mid");
  SetCursorPos(0, 0);
  EXPECT_FALSE(dragMidiFile(state, *services));
  EXPECT_FALSE(dragMidiFile(state, *services));
  const std::vector<fs::path> made = madeHere();
  ASSERT_EQ(made.size(), 2u);
  for (const fs::path& file : made) {
    const std::wstring name = file.filename().wstring();
    EXPECT_EQ(name.size(), 5u + 38u + 4u) << file.string();
    EXPECT_EQ(name.rfind(L"Solo-{", 0), 0u) << file.string();
    EXPECT_EQ(readWhole(file), fileBytes(state)) << file.string();
  }
}

// A drop target as an arrangement window would be: it takes the file list on drop.
class RecordingTarget final : public IDropTarget {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
      *object = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override { return --count_; }  // lives on the stack

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    allowed = *effect;
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data->GetData(&format, &medium) == S_OK) {
      const auto drop = static_cast<HDROP>(medium.hGlobal);
      const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
        dropped.push_back(name);
        // Read now: the arrangement copies the file while the drop is handled.
        contents.push_back(readWhole(fs::path(name)));
      }
      ReleaseStgMedium(&medium);
    }
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }

  DWORD allowed = 0;
  std::vector<std::wstring> dropped;
  std::vector<std::string> contents;

 private:
  std::atomic<ULONG> count_{0};
};

LRESULT CALLBACK plainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// A topmost window registered as the drop target, with the pointer over it. OLE is
// initialised around it, as a host's user-interface thread has it.
class Arrangement {
 public:
  Arrangement() {
    oleReady_ = SUCCEEDED(OleInitialize(nullptr));
    windowClass_.lpfnWndProc = plainWindow;
    windowClass_.hInstance = GetModuleHandleW(nullptr);
    windowClass_.lpszClassName = L"TavrenaTestArrangement";
    RegisterClassW(&windowClass_);
    window_ = CreateWindowExW(WS_EX_TOPMOST, windowClass_.lpszClassName, L"Arrangement",
                              WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                              windowClass_.hInstance, nullptr);
    registered_ = window_ != nullptr && RegisterDragDrop(window_, &target) == S_OK;
    SetForegroundWindow(window_);
    testing::pumpMessages(std::chrono::milliseconds(300));
    SetCursorPos(250, 200);
    testing::pumpMessages(std::chrono::milliseconds(100));
  }
  ~Arrangement() {
    if (window_) DestroyWindow(window_);
    UnregisterClassW(windowClass_.lpszClassName, windowClass_.hInstance);
    if (oleReady_) OleUninitialize();
  }
  Arrangement(const Arrangement&) = delete;
  Arrangement& operator=(const Arrangement&) = delete;

  bool ready() const { return oleReady_ && registered_; }
  // Fails unless OLE on this thread is still as the test left it.
  HRESULT revoke() {
    registered_ = false;
    return RevokeDragDrop(window_);
  }

  RecordingTarget target;

 private:
  WNDCLASSW windowClass_{};
  HWND window_ = nullptr;
  bool oleReady_ = false, registered_ = false;
};

void sendMouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

void sendKey(WORD key, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

TEST_F(Drag, ADropHandsTheTargetTheWrittenFile) {
  SKIP_WITHOUT_DISPLAY();
  Arrangement arrangement;
  ASSERT_TRUE(arrangement.ready());

  // The button is up, so the drag drops where the pointer is at once.
  const Json state = soloState("solo.mid");
  const bool dropped = dragMidiFile(state, *services);
  EXPECT_EQ(arrangement.revoke(), S_OK) << "the drag must leave OLE as it found it";

  EXPECT_TRUE(dropped);
  const RecordingTarget& target = arrangement.target;
  EXPECT_EQ(target.allowed, static_cast<DWORD>(DROPEFFECT_COPY));
  const std::vector<fs::path> made = madeHere();
  ASSERT_EQ(made.size(), 1u);
  ASSERT_EQ(target.dropped.size(), 1u);
  EXPECT_EQ(target.dropped[0], made[0].wstring());
  EXPECT_EQ(target.dropped[0].find(L'/'), std::wstring::npos) << "backslashes only";
  EXPECT_EQ(target.contents[0], fileBytes(state));
}

// Runs in the drag's own message loop: escape once the drag has been over the target
// for a while; the button is let go only if escape did not end it within 10 s, so a
// missed escape shows as a drop rather than a hang.
void CALLBACK pressEscape(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  sendKey(VK_ESCAPE, 0);
  sendKey(VK_ESCAPE, KEYEVENTF_KEYUP);
}
void CALLBACK letGo(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  sendMouse(MOUSEEVENTF_LEFTUP);
}

TEST_F(Drag, EscapeWhileTheButtonIsHeldCancelsAndKeepsTheFile) {
  SKIP_WITHOUT_DISPLAY();
  Arrangement arrangement;
  ASSERT_TRUE(arrangement.ready());
  // As from the page's drag handle: the drag starts with the left button down.
  sendMouse(MOUSEEVENTF_LEFTDOWN);
  testing::pumpMessages(std::chrono::milliseconds(200));
  const UINT_PTR escape = SetTimer(nullptr, 0, 700, pressEscape);
  const UINT_PTR watchdog = SetTimer(nullptr, 0, 10000, letGo);

  const Json state = soloState("solo.mid");
  const bool dropped = dragMidiFile(state, *services);
  KillTimer(nullptr, escape);
  KillTimer(nullptr, watchdog);
  sendMouse(MOUSEEVENTF_LEFTUP);
  testing::pumpMessages(std::chrono::milliseconds(100));
  EXPECT_EQ(arrangement.revoke(), S_OK);

  EXPECT_FALSE(dropped);
  EXPECT_EQ(arrangement.target.allowed, static_cast<DWORD>(DROPEFFECT_COPY))
      << "never over the target";
  EXPECT_TRUE(arrangement.target.dropped.empty());
  const std::vector<fs::path> made = madeHere();
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(readWhole(made[0]), fileBytes(state));
}

TEST(OpenUrl, ReportsWhetherTheShellStartedSomething) {
  const std::shared_ptr<EditorServices> services = editorServicesFor(nullptr);
  ASSERT_NE(services, nullptr);
  EXPECT_FALSE(services->OpenUrl("C:\\no such folder\\no such file.xyz"));
  EXPECT_FALSE(services->OpenUrl(""));
}

}  // namespace
}  // namespace tavrena
