#pragma once
// Every packet test must give back what it took from the pool.

#include <gtest/gtest.h>

#include "foundation/packet/Packet.h"

class PoolGuard : public ::testing::Test {
protected:
  void TearDown() override { EXPECT_EQ(packet_pool().count(), 1024u) << "packet buffers leaked"; }
};
