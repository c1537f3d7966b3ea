// The delete button's animation, driven tick by tick through its timer handler.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <vector>

#include "pages/delete_button.h"
#include "resources/images.h"

namespace tk {
namespace {

std::vector<int> Ticks(CDeleteButton& button, int count) {
  std::vector<int> frames;
  for (int i = 0; i < count; ++i) {
    button.OnTimer(CDeleteButton::kTimerId);
    frames.push_back(button.AnimFrame());
    EXPECT_EQ(button.ShownIcon(), res::kIconDeleteFirst + button.AnimFrame());
  }
  return frames;
}

TEST(DeleteButton, OneStartPlaysTenFramesUpAndDownThenStops) {
  CDeleteButton button;
  EXPECT_EQ(button.ShownIcon(), res::kIconDeleteFirst);
  EXPECT_FALSE(button.TimerRunning());
  button.StartAnimation();
  EXPECT_TRUE(button.TimerRunning());
  EXPECT_EQ(Ticks(button, 9), (std::vector<int>{1, 2, 3, 4, 5, 4, 3, 2, 1}));
  EXPECT_TRUE(button.TimerRunning());
  EXPECT_EQ(Ticks(button, 1), (std::vector<int>{0}));
  EXPECT_FALSE(button.TimerRunning());
  EXPECT_EQ(button.AnimStep(), 0);
}

TEST(DeleteButton, StartWhileRisingRisesOnFromWhereItIs) {
  CDeleteButton button;
  button.StartAnimation();
  Ticks(button, 2);
  button.StartAnimation();  // a second deletion shortly after the first
  EXPECT_EQ(button.AnimFrame(), 2);
  EXPECT_TRUE(button.TimerRunning());
  EXPECT_EQ(Ticks(button, 8), (std::vector<int>{3, 4, 5, 4, 3, 2, 1, 0}));
  EXPECT_FALSE(button.TimerRunning());
}

TEST(DeleteButton, StartWhileFallingJumpsBackToFourSoTheNextTickShowsFive) {
  CDeleteButton button;
  button.StartAnimation();
  EXPECT_EQ(Ticks(button, 8).back(), 2);  // 1 2 3 4 5 4 3 2: falling
  ASSERT_EQ(button.AnimStep(), -1);
  button.StartAnimation();
  EXPECT_EQ(Ticks(button, 10), (std::vector<int>{5, 4, 3, 2, 1, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(button.TimerRunning());
}

TEST(DeleteButton, ResetShowsTheRestingPictureAtOnceAndTheNextTickStopsTheTimer) {
  CDeleteButton button;
  button.StartAnimation();
  Ticks(button, 3);
  button.ResetAnimation();
  EXPECT_EQ(button.ShownIcon(), res::kIconDeleteFirst);
  EXPECT_EQ(button.AnimFrame(), 0);
  EXPECT_TRUE(button.TimerRunning());  // reset leaves the timer alone
  EXPECT_EQ(Ticks(button, 1), (std::vector<int>{0}));
  EXPECT_FALSE(button.TimerRunning());
}

TEST(DeleteButton, OtherTimersOnlyGetTheDefaultHandling) {
  CDeleteButton button;
  button.StartAnimation();
  button.OnTimer(CDeleteButton::kTimerId + 1);
  EXPECT_EQ(button.AnimFrame(), 0);
  EXPECT_EQ(button.AnimStep(), 1);
}

TEST(DeleteButton, TheRealTimerRunsTheAnimationToItsEnd) {
  CDeleteButton button;
  button.StartAnimation();
  // Bounded wait for the animation to end by itself; how fast it goes is not the question.
  const QDeadlineTimer deadline(5000);
  while (button.TimerRunning() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(button.TimerRunning());
  EXPECT_EQ(button.AnimFrame(), 0);
  EXPECT_EQ(button.ShownIcon(), res::kIconDeleteFirst);
}

}  // namespace
}  // namespace tk
