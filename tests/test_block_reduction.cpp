// Reducing a block to its two sums.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/block_reduction.h"

namespace gyrotrail {
namespace {

TEST(BlockReduction, FirstThirdAndTheRestAsSignedBytes) {
    const uint8_t block[7] = {0xFF, 0x80, 0x7F, 0x01, 0xFE, 0x00, 0x10};
    // third = 2: {-1, -128} and {127, 1, -2, 0, 16}
    const BlockSums s = reduceBlock(block, 7);
    EXPECT_EQ(s.sumA, -129);
    EXPECT_EQ(s.sumB, 142);
}

TEST(BlockReduction, ShortBlocksSteerOnlyOneAxis) {
    const uint8_t block[2] = {0x05, 0xF0};
    EXPECT_EQ(reduceBlock(block, 0).sumA, 0);
    EXPECT_EQ(reduceBlock(block, 0).sumB, 0);
    EXPECT_EQ(reduceBlock(block, 1).sumA, 0);
    EXPECT_EQ(reduceBlock(block, 1).sumB, 5);
    EXPECT_EQ(reduceBlock(block, 2).sumA, 0);
    EXPECT_EQ(reduceBlock(block, 2).sumB, 5 - 16);
    EXPECT_EQ(reduceBlock(nullptr, 0).sumB, 0);
}

TEST(BlockReduction, RunsOfFFCountMinusOneEach) {
    const std::vector<uint8_t> block(3000, 0xFF);
    const BlockSums s = reduceBlock(block.data(), 3000);
    EXPECT_EQ(s.sumA, -1000);
    EXPECT_EQ(s.sumB, -2000);
}

TEST(BlockReduction, SumsWrapAt32Bits) {
    // 2 * 8454661 bytes of 127 sum to 2147483894, which wraps to -2147483402.
    std::vector<uint8_t> block(3 * 8454661, 0);
    std::fill(block.begin() + 8454661, block.end(), uint8_t{127});
    const BlockSums s = reduceBlock(block.data(), static_cast<uint32_t>(block.size()));
    EXPECT_EQ(s.sumA, 0);
    EXPECT_EQ(s.sumB, -2147483402);
}

TEST(BlockReduction, NegativeSumsWrapAt32BitsToo) {
    // 16777217 bytes of -128 sum to -2147483776, which wraps to 2147483520.
    const std::vector<uint8_t> block(16777217, 0x80);
    EXPECT_EQ(sumSignedBytes(block.data(), 16777217), 2147483520);
    EXPECT_EQ(sumSignedBytesScalar(block.data(), 16777217), 2147483520);
}

// The sixteen-bytes-a-step sum must agree with the byte-by-byte one for every
// length around its step sizes, at every alignment, for any bytes.
TEST(BlockReduction, WideSumAgreesWithByteByByteSum) {
    std::mt19937 random(3);
    std::vector<uint8_t> noise(300), lowest(300, 0x80), highest(300, 0x7F), minusOne(300, 0xFF);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
    for (const auto* bytes : {&noise, &lowest, &highest, &minusOne})
        for (uint32_t offset = 0; offset < 16; ++offset)
            for (uint32_t count = 0; count + offset <= 300; ++count)
                ASSERT_EQ(sumSignedBytes(bytes->data() + offset, count),
                          sumSignedBytesScalar(bytes->data() + offset, count))
                    << "offset " << offset << " count " << count;
}

}  // namespace
}  // namespace gyrotrail
