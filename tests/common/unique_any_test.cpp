#include "common/unique_any.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Traits with state: the closer records what it closed, as a platform object would.
struct RecordingTraits {
  using type = int;
  static type invalid() { return -1; }
  std::vector<int>* closed = nullptr;
  void close(type h) const { closed->push_back(h); }
};
using unique_int = qm::unique_any<RecordingTraits>;

TEST(UniqueAny, ClosesOnceAcrossMovesResetsAndRelease) {
  std::vector<int> closed;
  {
    unique_int a(3, RecordingTraits{&closed});
    unique_int b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), 3);
    unique_int c(7, RecordingTraits{&closed});
    c = std::move(b);  // 7 closed here, 3 moves over
    EXPECT_EQ(closed, std::vector<int>({7}));
    c.reset(9);  // 3 closed
    unique_int d(11, RecordingTraits{&closed});
    EXPECT_EQ(d.release(), 11);  // released handles are the caller's
  }
  EXPECT_EQ(closed, std::vector<int>({7, 3, 9}));
}

TEST(UniqueAny, PutClosesTheOldHandleAndHandsOutTheSlot) {
  std::vector<int> closed;
  unique_int h(5, RecordingTraits{&closed});
  *h.put() = 6;
  EXPECT_EQ(closed, std::vector<int>({5}));
  EXPECT_EQ(h.get(), 6);
}

}  // namespace
