// Dropped files and the clipboard viewer chain, with the main window in this process.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "app/main_form_win.h"
#include "support/driver_win.h"
#include "support/main_form_fixture_win.h"
#include "support/test_window_win.h"

namespace parlix {
namespace {

using test::WindowText;

std::string TempPathOf(const std::string& name) { return test::TempFolder() + name; }

// A drop handle as the shell makes it: DROPFILES followed by NUL-separated ANSI names.
HDROP MakeDrop(const std::vector<std::string>& files) {
  size_t names = 1;
  for (const auto& f : files) names += f.size() + 1;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = FALSE;
  char* out = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
  for (const auto& f : files) {
    memcpy(out, f.c_str(), f.size() + 1);
    out += f.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// A window that records the clipboard messages it gets.
class TRecorder {
 public:
  TRecorder() {
    hwnd_ = test::MakeTestWindow({.class_name = "ParlixTestRecorder", .proc = Proc, .style = 0, .width = 0, .height = 0,
                                  .parent = HWND_MESSAGE});
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TRecorder() { DestroyWindow(hwnd_); }
  HWND Handle() const { return hwnd_; }
  int draws = 0;
  int chain_changes = 0;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<TRecorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && msg == WM_DRAWCLIPBOARD) ++self->draws;
    if (self != nullptr && msg == WM_CHANGECBCHAIN) ++self->chain_changes;
    return DefWindowProcA(hwnd, msg, wparam, lparam);
  }
  HWND hwnd_ = nullptr;
};

using DropAndChain = test::MainFormFixture;

TEST_F(DropAndChain, OnlyTheFirstOfThreeFilesIsLoaded) {
  const std::string a = TempPathOf("parlix drop a.txt"), b = TempPathOf("parlix drop b.txt"),
                    c = TempPathOf("parlix drop c.txt");
  test::WriteFileBytes(a, "first file\r\ntext");
  test::WriteFileBytes(b, "second");
  test::WriteFileBytes(c, "third");
  SendMessageA(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("old"));
  SendMessageA(form_->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({a, b, c})), 0);
  EXPECT_EQ(WindowText(memo_), "first file\r\ntext");
  EXPECT_FALSE(form_->Translation().Translating);
  for (const auto& f : {a, b, c}) DeleteFileA(f.c_str());
}

TEST_F(DropAndChain, LargeFileIsTakenInWhole) {
  const std::string big = TempPathOf("parlix drop big.txt");
  std::string text;
  while (text.size() < 100000) text += "0123456789 abcdefghij klmnopqrst uvwxyz\r\n";
  test::WriteFileBytes(big, text);
  SendMessageA(form_->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({big})), 0);
  EXPECT_EQ(WindowText(memo_).size(), text.size());
  DeleteFileA(big.c_str());
}

TEST_F(DropAndChain, DroppedFolderLeavesTheTextAreaEmpty) {
  const std::string folder = TempPathOf("parlix drop folder");
  CreateDirectoryA(folder.c_str(), nullptr);
  SendMessageA(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("old"));
  SendMessageA(form_->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({folder})), 0);
  EXPECT_EQ(WindowText(memo_), "");
  RemoveDirectoryA(folder.c_str());
}

TEST_F(DropAndChain, DropDuringATranslationChangesNothing) {
  const std::string a = TempPathOf("parlix drop busy.txt");
  test::WriteFileBytes(a, "dropped");
  SendMessageA(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("being translated"));
  form_->Translation().Translating = true;
  SendMessageA(form_->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({a})), 0);
  form_->Translation().Translating = false;
  EXPECT_EQ(WindowText(memo_), "being translated");
  DeleteFileA(a.c_str());
}

TEST_F(DropAndChain, ClipboardNoticesReachTheRemainingViewers) {
  TRecorder next, after_next, other;
  form_->ClipboardWatcher().NextClipboardViewer = next.Handle();
  // Something further down the chain leaves: the notice is passed on to the next viewer.
  SendMessageA(form_->Handle(), WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(other.Handle()),
               reinterpret_cast<LPARAM>(after_next.Handle()));
  EXPECT_EQ(next.chain_changes, 1);
  EXPECT_EQ(form_->ClipboardWatcher().NextClipboardViewer, next.Handle());
  // The next viewer itself leaves: the one after it becomes the next.
  SendMessageA(form_->Handle(), WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(next.Handle()),
               reinterpret_cast<LPARAM>(after_next.Handle()));
  EXPECT_EQ(form_->ClipboardWatcher().NextClipboardViewer, after_next.Handle());
  SendMessageA(form_->Handle(), WM_DRAWCLIPBOARD, 0, 0);
  EXPECT_EQ(std::pair(after_next.draws, next.draws), std::pair(1, 0)) << "only the new next viewer is told";
  form_->ClipboardWatcher().NextClipboardViewer = nullptr;
}

}  // namespace
}  // namespace parlix
