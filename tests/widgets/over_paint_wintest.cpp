// The hover paint box: its enter and leave events, their order against the inherited
// tracking, and its painting through OnPaint.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/driver_win.h"
#include "support/test_window_win.h"
#include "widgets/over_paint_win.h"

namespace parlix {
namespace {

using test::WaitUntil;
using namespace std::chrono_literals;

constexpr COLORREF kBoxColor = RGB(230, 230, 230);
constexpr COLORREF kInk = RGB(200, 20, 40);

class OverPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = test::MakeTestWindow({.class_name = "OverPaintTestParent", .caption = "hover",
                                    .style = WS_POPUP | WS_VISIBLE, .ex_style = WS_EX_TOPMOST, .left = 300,
                                    .top = 200, .width = 200, .height = 100,
                                    .background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))});
    ASSERT_NE(parent_, nullptr);
    UpdateWindow(parent_);
    box_ = std::make_unique<TOverPaint>(parent_, 10, 10, 60, 20);
    box_->SetColor(kBoxColor);
    ASSERT_NE(box_->Handle(), nullptr);
  }
  void TearDown() override {
    box_.reset();
    DestroyWindow(parent_);
  }

  void Move(TOverPaint& box, int x = 5, int y = 5) { SendMessageA(box.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
  void Leave(TOverPaint& box) { SendMessageA(box.Handle(), WM_MOUSELEAVE, 0, 0); }

  HWND parent_ = nullptr;
  std::unique_ptr<TOverPaint> box_;
};

TEST_F(OverPaintTest, WithoutEventsHoveringOnlyTracksTheState) {
  EXPECT_FALSE(box_->MouseInControl());
  Move(*box_);
  EXPECT_TRUE(box_->MouseInControl());
  Leave(*box_);
  EXPECT_FALSE(box_->MouseInControl());
  // The base's own plain callbacks still work for code that uses the box as a control.
  int base_enters = 0;
  box_->TControl::OnMouseEnter = [&] { ++base_enters; };
  Move(*box_);
  EXPECT_EQ(base_enters, 1);
  EXPECT_TRUE(box_->MouseInControl());
}

TEST_F(OverPaintTest, EnterAndLeaveFireOncePerVisitWithTheStateAlreadyCurrent) {
  std::vector<std::string> events;
  box_->OnMouseEnter = [&](TOverPaint& sender) {
    EXPECT_EQ(&sender, box_.get());
    events.push_back(sender.MouseInControl() ? "enter(in)" : "enter(out)");
  };
  box_->OnMouseLeave = [&](TOverPaint& sender) {
    events.push_back(sender.MouseInControl() ? "leave(in)" : "leave(out)");
  };

  Move(*box_, 1, 1);
  Move(*box_, 20, 10);
  Move(*box_, 59, 19);
  EXPECT_EQ(events, (std::vector<std::string>{"enter(in)"}));
  Leave(*box_);
  EXPECT_EQ(events, (std::vector<std::string>{"enter(in)", "leave(out)"}));
  Move(*box_);
  Leave(*box_);
  EXPECT_EQ(events, (std::vector<std::string>{"enter(in)", "leave(out)", "enter(in)", "leave(out)"}));
}

TEST_F(OverPaintTest, ALeaveWithoutAnEnterFiresNothing) {
  int leaves = 0;
  box_->OnMouseLeave = [&](TOverPaint&) { ++leaves; };
  Leave(*box_);
  EXPECT_EQ(leaves, 0);
  Move(*box_);
  Leave(*box_);
  Leave(*box_);
  EXPECT_EQ(leaves, 1);
}

TEST_F(OverPaintTest, OneHandlerServesARowOfBoxesByTheSendersTag) {
  TOverPaint second(parent_, 10, 40, 60, 20);
  box_->Tag = 3;
  second.Tag = 7;
  std::vector<int> entered;
  auto handler = [&](TOverPaint& sender) { entered.push_back(sender.Tag); };
  box_->OnMouseEnter = handler;
  second.OnMouseEnter = handler;
  Move(second);
  Move(*box_);
  EXPECT_EQ(entered, (std::vector<int>{7, 3}));
}

TEST_F(OverPaintTest, TheRealPointerEntersAndLeaves) {
  int enters = 0, leaves = 0;
  box_->OnMouseEnter = [&](TOverPaint&) { ++enters; };
  box_->OnMouseLeave = [&](TOverPaint&) { ++leaves; };
  const RECT rect = test::WindowRect(box_->Handle());
  SetCursorPos(rect.left + 30, rect.top + 10);
  EXPECT_TRUE(WaitUntil([&] { return enters == 1; }, 5s)) << "no enter from the pointer";
  SetCursorPos(rect.left + 30, rect.bottom + 40);
  EXPECT_TRUE(WaitUntil([&] { return leaves == 1; }, 5s)) << "no leave from the pointer";
  EXPECT_EQ(enters, 1);
  EXPECT_FALSE(box_->MouseInControl());
}

TEST_F(OverPaintTest, PaintsTheBackgroundThenTheOwnersPicture) {
  int paints = 0;
  RECT seen{};
  HFONT selected = nullptr;
  box_->OnPaint = [&](HDC dc, const RECT& rect) {
    ++paints;
    seen = rect;
    selected = static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
    RECT ink{0, 0, 10, 10};
    HBRUSH brush = CreateSolidBrush(kInk);
    FillRect(dc, &ink, brush);
    DeleteObject(brush);
  };
  InvalidateRect(box_->Handle(), nullptr, TRUE);
  UpdateWindow(box_->Handle());
  ASSERT_GE(paints, 1);
  EXPECT_EQ(seen, (RECT{0, 0, 60, 20}));
  // The owner paints with the box's own font.
  EXPECT_EQ(selected, box_->Font());

  HDC dc = GetDC(box_->Handle());
  EXPECT_EQ(GetPixel(dc, 3, 3), kInk);
  EXPECT_EQ(GetPixel(dc, 40, 15), kBoxColor);
  ReleaseDC(box_->Handle(), dc);
}

}  // namespace
}  // namespace parlix
