#include "platform/registered_message.h"

#include <gtest/gtest.h>

namespace quirelle::platform {
namespace {

TEST(RegisterWindowMessage, SameNameSameNumberDistinctNamesDistinctNumbers) {
  const auto a = RegisterWindowMessage("test_message_a");
  const auto b = RegisterWindowMessage("test_message_b");
  EXPECT_EQ(a, RegisterWindowMessage("test_message_a"));
  EXPECT_NE(a, b);
  for (auto n : {a, b}) {
    EXPECT_GE(n, 0xC000u);
    EXPECT_LE(n, 0xFFFFu);
  }
  EXPECT_EQ(RegisterWindowMessage(""), 0u);
}

}  // namespace
}  // namespace quirelle::platform
