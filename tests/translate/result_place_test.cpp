#include <gtest/gtest.h>

#include "translate/result_place.h"

namespace parlix {
namespace {

TEST(ResultWindowPosition, LeftOfTheMainWindowWithTopsAligned) {
  const TWindowPos pos = ResultWindowPosition(false, 1005, 535, 2, 250, 170, 1280, 780);
  EXPECT_EQ(pos.top, 535);
  EXPECT_EQ(pos.left, 1005 + 2 - 250 - 10);
}

TEST(ResultWindowPosition, NearTheLeftEdgeStartsAtTen) {
  const TWindowPos pos = ResultWindowPosition(false, 100, 300, 2, 250, 170, 1280, 780);
  EXPECT_EQ(pos.left, 10);
  EXPECT_EQ(pos.top, 300);
  EXPECT_EQ(ResultWindowPosition(false, 100, -40, 2, 250, 170, 1280, 780).top, 10);
}

TEST(ResultWindowPosition, InTheTrayFiftyPixelsFromEdgeAndTaskbar) {
  const TWindowPos pos = ResultWindowPosition(true, 5, 5, 2, 250, 170, 1280, 780);
  EXPECT_EQ(pos.left, 1280 - 250 - 50);
  EXPECT_EQ(pos.top, 780 - 170 - 50);
}

}  // namespace
}  // namespace parlix
