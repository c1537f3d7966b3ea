#include <gtest/gtest.h>

#include <string>

#include "inet/errors.h"

namespace tk::inet {
namespace {

TEST(Errors, NumberAndTextFromTheTable) {
  Error e = MakeError(ErrorCode::BodyTooShort);
  EXPECT_EQ(e.number, 12160);
  EXPECT_TRUE(static_cast<bool>(e));
  EXPECT_EQ(e.message, "The response body ended before its Content-Length");
  e = MakeError(ErrorCode::Timeout, "after 60 s");
  EXPECT_EQ(e.message, "The operation timed out: after 60 s");
  EXPECT_FALSE(static_cast<bool>(Error{}));
}

TEST(Errors, MessageCutAt1024BytesOnACharacterBoundary) {
  std::string detail;
  for (int i = 0; i < 600; ++i) detail += "\xe3\x81\x82";  // U+3042, three bytes each
  Error e = MakeError(ErrorCode::Internal, detail);
  EXPECT_LE(e.message.size(), 1024u);
  EXPECT_GT(e.message.size(), 1018u);
  // The last character is whole.
  std::size_t tail = e.message.size() - e.message.rfind('\xe3');
  EXPECT_EQ(tail, 3u);
}

}  // namespace
}  // namespace tk::inet
