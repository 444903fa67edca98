#include "components/webpage/cdpframing.h"

#include <gtest/gtest.h>

namespace webpage {
namespace {

TEST(WebpageCdpFraming, MessagesEndWithANulByte) {
  std::string frame = EncodeCdpFrame("{\"id\":1}");
  EXPECT_EQ(std::string("{\"id\":1}\0", 9), frame);
}

TEST(WebpageCdpFraming, DecoderJoinsPiecesAndSplitsBatches) {
  CCdpFrameDecoder decoder;
  std::string message;
  decoder.Append("{\"a\"", 4);
  EXPECT_FALSE(decoder.Next(&message));
  std::string rest("}\0{\"b\":2}\0{\"c\"", 14);
  decoder.Append(rest.data(), rest.size());
  ASSERT_TRUE(decoder.Next(&message));
  EXPECT_EQ("{\"a\"}", message);
  ASSERT_TRUE(decoder.Next(&message));
  EXPECT_EQ("{\"b\":2}", message);
  EXPECT_FALSE(decoder.Next(&message));
  decoder.Append(":3}\0", 4);
  ASSERT_TRUE(decoder.Next(&message));
  EXPECT_EQ("{\"c\":3}", message);
  EXPECT_FALSE(decoder.Next(&message));
}

TEST(WebpageCdpFraming, ManySmallMessagesComeOutInOrder) {
  CCdpFrameDecoder decoder;
  std::string all;
  for (int i = 0; i < 1000; ++i) all += EncodeCdpFrame(std::to_string(i));
  // Fed in uneven slices, as a socket delivers them.
  for (size_t pos = 0; pos < all.size(); pos += 7) decoder.Append(all.data() + pos, std::min<size_t>(7, all.size() - pos));
  std::string message;
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(decoder.Next(&message));
    ASSERT_EQ(std::to_string(i), message);
  }
  EXPECT_FALSE(decoder.Next(&message));
  EXPECT_FALSE(decoder.Overflowed());
}

TEST(WebpageCdpFraming, EmptyMessageIsAMessage) {
  CCdpFrameDecoder decoder;
  decoder.Append("\0", 1);
  std::string message = "x";
  ASSERT_TRUE(decoder.Next(&message));
  EXPECT_EQ("", message);
}

TEST(WebpageCdpFraming, AnEndlessMessageOverflowsInsteadOfGrowingForever) {
  CCdpFrameDecoder decoder;
  std::string block(1 << 20, 'x');
  std::string message;
  for (size_t total = 0; total <= CCdpFrameDecoder::kMaxMessage; total += block.size()) {
    decoder.Append(block.data(), block.size());
    EXPECT_FALSE(decoder.Next(&message));
  }
  EXPECT_TRUE(decoder.Overflowed());
  decoder.Append("\0", 1);
  EXPECT_FALSE(decoder.Next(&message));
}

}  // namespace
}  // namespace webpage
