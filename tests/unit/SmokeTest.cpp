#include <gtest/gtest.h>

#include "shell/StatusLine.h"

TEST(StatusLine, LongTextIsCutAndWarningMarksAreFound) {
  std::string text(200, 'x');
  EXPECT_EQ(tmv::StatusDisplayText(text), std::string(122, 'x') + " ...");
  EXPECT_TRUE(tmv::StatusNeedsWarning("Unable to open COM1"));
  EXPECT_FALSE(tmv::StatusNeedsWarning("Ready"));
}
