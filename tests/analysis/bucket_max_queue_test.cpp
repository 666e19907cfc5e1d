#include <cmath>
#include <functional>
#include <queue>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/bucket_max_queue.h"

namespace {

using mirl::analysis::BucketMaxQueue;

TEST(BucketMaxQueue, FitsOnlyPositiveFiniteStepsInARingOfBoundedSize) {
  EXPECT_TRUE(BucketMaxQueue::Fits(1e9, 1.0, 14.0));
  EXPECT_TRUE(BucketMaxQueue::Fits(100.0, 0.5, 0.5));
  EXPECT_FALSE(BucketMaxQueue::Fits(100.0, 0.0, 10.0));  // free steps
  EXPECT_FALSE(BucketMaxQueue::Fits(100.0, 1.0, INFINITY));
  EXPECT_FALSE(BucketMaxQueue::Fits(100.0, NAN, 10.0));
  EXPECT_FALSE(BucketMaxQueue::Fits(100.0, 1.0, 0.5));
  // Steps from 1e-4 to 10 would need a ring of 10^5 buckets.
  EXPECT_FALSE(BucketMaxQueue::Fits(100.0, 1e-4, 10.0));
  EXPECT_FALSE(BucketMaxQueue::Fits(INFINITY, 1.0, 10.0));
  EXPECT_FALSE(BucketMaxQueue::Fits(1e300, 1.0, 10.0));  // bucket numbers too large
}

// A best-first run: each pop pushes a few values between the smallest and
// the largest step below it, some exactly at the bounds, for many laps of
// the ring. Values must come out as from a plain max-heap.
TEST(BucketMaxQueue, YieldsTheLargestValueFirstOverManyLapsOfTheRing) {
  const double top = 5000, min_step = 0.37, max_step = 9.1;
  ASSERT_TRUE(BucketMaxQueue::Fits(top, min_step, max_step));
  BucketMaxQueue queue(top, min_step, max_step);
  std::priority_queue<double> reference;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> step(min_step, max_step);
  queue.push(top, 0, 0);
  reference.push(top);
  int pops = 0;
  while (!queue.empty()) {
    ASSERT_FALSE(reference.empty());
    const BucketMaxQueue::Entry e = queue.pop();
    ASSERT_EQ(e.value, reference.top()) << "pop " << pops;
    reference.pop();
    ++pops;
    if (pops > 40000) continue;  // drain
    const int pushes = static_cast<int>(rng() % 4);
    for (int k = 0; k < pushes; ++k) {
      const int kind = static_cast<int>(rng() % 8);
      const double s = kind == 0 ? min_step : kind == 1 ? max_step : step(rng);
      const double v = e.value - s;
      if (v <= 0) continue;
      queue.push(v, pops, k);
      reference.push(v);
    }
    ASSERT_EQ(queue.size(), reference.size());
  }
  EXPECT_TRUE(reference.empty());
  EXPECT_GT(pops, 1000);
}

TEST(BucketMaxQueue, ValueLandingInTheBucketBeingEmptiedTakesItsPlaceThere) {
  BucketMaxQueue queue(100.0, 1.0, 5.0);
  queue.push(100.0, 0, 0);
  queue.push(99.999, 1, 0);
  queue.push(99.998, 2, 0);
  EXPECT_EQ(queue.pop().value, 100.0);
  // Closer below than a bucket is wide: it joins the sorted bucket.
  queue.push(99.9985, 3, 0);
  queue.push(96.0, 4, 0);
  EXPECT_EQ(queue.peek(0)->row, 1);
  EXPECT_EQ(queue.pop().row, 1);
  EXPECT_EQ(queue.pop().row, 3);
  EXPECT_EQ(queue.pop().row, 2);
  EXPECT_EQ(queue.peek(0), nullptr);  // the next bucket is not sorted yet
  EXPECT_EQ(queue.pop().row, 4);
  EXPECT_TRUE(queue.empty());
}

}  // namespace
