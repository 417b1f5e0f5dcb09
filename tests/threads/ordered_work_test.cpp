// Pages worked on by several threads come back in order, never more of them
// made at once than the window allows, and a stop or a failure ends the
// work with every thread joined.
#include "core/ordered_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace orvane {
namespace {

TEST(OrderedWork, ResultsComeInOrderWithinTheWindow) {
  struct Case {
    unsigned workers;
    std::uint32_t count;
    std::size_t window;
  } const cases[] = {{0, 5, 1}, {1, 9, 2}, {3, 40, 6}, {4, 7, 8}, {2, 0, 4}, {3, 25, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.workers << " workers, " << c.count << " pages");
    std::atomic<bool> stopping{false};
    std::uint32_t made = 0, taken = 0;
    std::size_t most_out = 0;
    std::vector<std::uint32_t> order;
    const bool ok = run_in_order<std::uint32_t, std::uint32_t>(
        c.workers, c.count, c.window, stopping,
        [&](std::uint32_t i) {
          EXPECT_EQ(i, made);
          ++made;
          most_out = std::max<std::size_t>(most_out, made - taken);
          return std::optional<std::uint32_t>(i);
        },
        [](std::uint32_t& job, unsigned) {
          // Later pages finish first now and then.
          std::this_thread::sleep_for(std::chrono::microseconds((job * 7919) % 300));
          return job * 3;
        },
        [&](std::uint32_t i, std::uint32_t& result) {
          EXPECT_EQ(result, i * 3);
          order.push_back(i);
          ++taken;
          return true;
        });
    EXPECT_TRUE(ok);
    EXPECT_FALSE(stopping.load());
    ASSERT_EQ(order.size(), c.count);
    for (std::uint32_t i = 0; i < c.count; ++i) EXPECT_EQ(order[i], i);
    EXPECT_LE(most_out, c.workers == 0 ? 1 : c.window);
  }
}

TEST(OrderedWork, StopsAndFailuresEndTheWork) {
  for (const unsigned workers : {0u, 3u}) {
    SCOPED_TRACE(workers);
    std::atomic<bool> stopping{false};
    std::uint32_t taken = 0;
    // take() asks for a stop at page 4: nothing after it is taken, and the
    // work in flight sees `stopping`.
    const bool ok = run_in_order<int, int>(
        workers, 100, 4, stopping, [](std::uint32_t i) { return std::optional<int>(int(i)); },
        [&](int& job, unsigned) { return stopping.load() ? -1 : job; },
        [&](std::uint32_t i, int&) {
          ++taken;
          return i < 4;
        });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(stopping.load());
    EXPECT_EQ(taken, 5u);

    // make() stops at page 2.
    stopping = false;
    taken = 0;
    EXPECT_FALSE((run_in_order<int, int>(
        workers, 100, 4, stopping,
        [](std::uint32_t i) { return i < 2 ? std::optional<int>(int(i)) : std::nullopt; },
        [](int& job, unsigned) { return job; },
        [&](std::uint32_t, int&) { return ++taken, true; })));
    EXPECT_LE(taken, 2u);

    // A worker's exception reaches the caller in its page's turn.
    stopping = false;
    std::vector<std::uint32_t> before;
    EXPECT_THROW(
        (run_in_order<int, int>(
            workers, 50, 4, stopping, [](std::uint32_t i) { return std::optional<int>(int(i)); },
            [](int& job, unsigned) {
              if (job == 6) throw std::runtime_error("page 6");
              return job;
            },
            [&](std::uint32_t i, int&) { return before.push_back(i), true; })),
        std::runtime_error);
    EXPECT_EQ(before.size(), 6u);
  }
}

}  // namespace
}  // namespace orvane
