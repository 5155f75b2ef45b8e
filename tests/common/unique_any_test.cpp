#include "common/unique_any.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Traits with state: the closer records what it closed, as a platform object would. Each
// owner gets its own record, so a handle closed through the wrong traits shows up.
struct RecordingTraits {
  using type = int;
  static type invalid() { return -1; }
  std::vector<int>* closed = nullptr;
  void close(type h) const { closed->push_back(h); }
};
using unique_int = qm::unique_any<RecordingTraits>;

TEST(UniqueAny, TheTraitsTravelWithTheHandleAndCloseItOnce) {
  std::vector<int> closedByA, closedByC, closedByD;
  {
    unique_int a(3, RecordingTraits{&closedByA});
    unique_int b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), 3);
    EXPECT_EQ(b.traits().closed, &closedByA);
    unique_int c(7, RecordingTraits{&closedByC});
    c = std::move(b);  // 7 closed by c's own traits; 3 and a's traits move over
    EXPECT_EQ(closedByC, std::vector<int>({7}));
    EXPECT_EQ(c.traits().closed, &closedByA);
    c.reset(9);  // 3 closed by the traits that came with it
    unique_int d(11, RecordingTraits{&closedByD});
    EXPECT_EQ(d.release(), 11);  // released handles are the caller's
  }
  EXPECT_EQ(closedByA, std::vector<int>({3, 9}));
  EXPECT_EQ(closedByC, std::vector<int>({7}));
  EXPECT_TRUE(closedByD.empty());
}

TEST(UniqueAny, PutClosesTheOldHandleAndHandsOutTheSlot) {
  std::vector<int> closed;
  unique_int h(5, RecordingTraits{&closed});
  *h.put() = 6;
  EXPECT_EQ(closed, std::vector<int>({5}));
  EXPECT_EQ(h.get(), 6);
}

}  // namespace
