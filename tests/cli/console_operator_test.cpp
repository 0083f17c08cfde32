// The headless station's operator: which button a two-button box takes with
// and without --yes ("No" and "Cancel" refuse), and when a question counts as
// unanswered.
#include "cli/console_operator.h"

#include <gtest/gtest.h>

using namespace lumvex;

TEST(ConsoleOperator, TwoButtonBoxesTakeTheFixedAnswerElseYesOrLeaveTheQuestionUnanswered) {
  ConsoleOperator op;
  op.defaultButton = "Disconnect";
  // The communication-error box has its fixed answer, with or without --yes.
  EXPECT_EQ(op.twoButton("Communication Error", "t", "Continue", "Disconnect"), 2);
  op.assumeYes = true;
  EXPECT_EQ(op.twoButton("Communication Error", "t", "Continue", "Disconnect"), 2);
  EXPECT_FALSE(op.unanswered);

  // --yes: the button that goes on, wherever it stands.
  EXPECT_EQ(op.twoButton("Erase Request second check", "t", "No", "Yes"), 2);
  EXPECT_EQ(op.twoButton("BATTERY ERROR", "t", "Fully Charged", "Continue without Battery Data"), 2);
  EXPECT_EQ(op.twoButton("Lumvex Direction Change", "t", "Cancel", "Load Cal File"), 2);
  EXPECT_FALSE(op.unanswered);

  // Without --yes every other box is a question: "No" where there is one.
  op.assumeYes = false;
  EXPECT_EQ(op.twoButton("Erase Request second check", "t", "No", "Yes"), 1);
  EXPECT_TRUE(op.unanswered);
  op.unanswered = false;
  EXPECT_EQ(op.twoButton("BATTERY ERROR", "t", "Fully Charged", "Continue without Battery Data"), 2);
  EXPECT_TRUE(op.unanswered);
  // "Cancel" refuses like "No": the calibration is never loaded unasked.
  op.unanswered = false;
  EXPECT_EQ(op.twoButton("Lumvex Direction Change", "t", "Cancel", "Load Cal File"), 1);
  EXPECT_TRUE(op.unanswered);
}
