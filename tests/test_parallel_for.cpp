#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/parallel_for.h"

namespace varelo::host {
namespace {

// Items of uneven length, so that threads overtake each other.
void Stagger(size_t i) {
    std::this_thread::sleep_for(std::chrono::microseconds(i % 7 * 50));
}

TEST(ParallelFor, EveryIndexRunsOnceAndProgressCountsUpInOrder) {
    for (const unsigned threads : {0u, 1u, 3u, 16u}) {
        const size_t n = 500;
        std::vector<std::atomic<int>> runs(n);
        std::vector<size_t> seen;
        ParallelFor(
            n, threads,
            [&](size_t i) {
                Stagger(i);
                ++runs.at(i);
            },
            [&](size_t done, size_t total) {
                EXPECT_EQ(total, n);
                seen.push_back(done);
            });
        for (size_t i = 0; i < n; ++i) EXPECT_EQ(runs[i], 1) << "item " << i;
        ASSERT_EQ(seen.size(), n) << threads << " threads";
        for (size_t k = 0; k < n; ++k) ASSERT_EQ(seen[k], k + 1) << threads << " threads";
    }
}

TEST(ParallelFor, NoItemsOrFewerItemsThanThreads) {
    bool called = false;
    ParallelFor(
        0, 8, [&](size_t) { called = true; }, [&](size_t, size_t) { called = true; });
    EXPECT_FALSE(called);

    // Never more threads than items, and the caller works too.
    std::mutex mutex;
    std::set<std::thread::id> workers;
    std::atomic<int> runs{0};
    ParallelFor(3, 64, [&](size_t) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++runs;
        const std::lock_guard lock(mutex);
        workers.insert(std::this_thread::get_id());
    });
    EXPECT_EQ(runs, 3);
    EXPECT_LE(workers.size(), 3u);
    EXPECT_TRUE(workers.count(std::this_thread::get_id()));
}

TEST(ParallelFor, AThrowingItemStopsTheRunAndItsExceptionComesBack) {
    for (const unsigned threads : {1u, 4u}) {
        std::atomic<size_t> runs{0};
        size_t reported = 0;  // progress runs one call at a time
        try {
            ParallelFor(
                10000, threads,
                [&](size_t i) {
                    ++runs;
                    Stagger(i);
                    if (i == 20) throw std::runtime_error("item " + std::to_string(i));
                },
                [&](size_t, size_t) { ++reported; });
            ADD_FAILURE() << "nothing thrown";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "item 20");
        }
        // Items already handed out finish; no further ones start (all of them would take
        // half a second).
        EXPECT_LT(runs, 1000u) << threads << " threads";
        EXPECT_EQ(reported + 1, runs) << "all but the failed item are counted";
    }
}

TEST(ParallelFor, ProgressLineRewritesOneLineAndEndsItAfterTheLast) {
    std::ostringstream out;
    const Progress line = ProgressLine(out, "reading scans");
    for (size_t done = 1; done <= 3; ++done) line(done, 3);
    EXPECT_EQ(out.str(), "\rreading scans: 1/3\rreading scans: 2/3\rreading scans: 3/3\n");
}

}  // namespace
}  // namespace varelo::host
