#include <gtest/gtest.h>

#include <string>

#include "platform/common/PendingBytes.h"

namespace {

TEST(PendingBytes, SendsInOrderInChunksAndRefusesPastTheBound) {
    CPendingBytes queue;
    const std::string big(CPendingBytes::kMaxChunk + 10, 'x');
    ASSERT_TRUE(queue.Append(big.data(), big.size()));
    ASSERT_TRUE(queue.Append("yz", 2));
    EXPECT_EQ(queue.NextSize(), CPendingBytes::kMaxChunk);
    queue.Sent(CPendingBytes::kMaxChunk);
    EXPECT_EQ(queue.Size(), 12u);
    queue.Sent(10);
    EXPECT_EQ(std::string(queue.Next(), queue.NextSize()), "yz");
    queue.Sent(5);  // more than is left: all of it went
    EXPECT_TRUE(queue.Empty());

    // A device that stops reading can't make it hold more than the bound.
    const std::string chunk(CPendingBytes::kMaxChunk, 'c');
    for (size_t held = 0; held < CPendingBytes::kMaxBytes; held += chunk.size())
        ASSERT_TRUE(queue.Append(chunk.data(), chunk.size()));
    EXPECT_FALSE(queue.Append("!", 1));
    EXPECT_EQ(queue.Size(), CPendingBytes::kMaxBytes);
}

TEST(PendingBytes, WhatWentOutIsLetGoOfWhenBlocked) {
    CPendingBytes queue;
    ASSERT_TRUE(queue.Append("abcdef", 6));
    queue.Sent(2);
    queue.Blocked();  // a third went: kept as it is
    EXPECT_EQ(std::string(queue.Next(), queue.NextSize()), "cdef");
    queue.Sent(2);
    queue.Blocked();  // two thirds went: dropped, the rest unchanged
    EXPECT_EQ(std::string(queue.Next(), queue.NextSize()), "ef");
    ASSERT_TRUE(queue.Append("g", 1));
    EXPECT_EQ(std::string(queue.Next(), queue.NextSize()), "efg");
}

}  // namespace
