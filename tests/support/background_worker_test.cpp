#include "support/background_worker.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace velt {
namespace {

TEST(BackgroundWorker, RunsInTurnHandsBackWhatARunThrewOnceAndFinishesARunBeforeItEnds) {
  int runs = 0;
  std::string seen;
  {
    BackgroundWorker worker([&] {
      ++runs;
      if (runs == 2) throw std::runtime_error("second");
      seen += std::to_string(runs);
    });
    worker.Start();
    worker.Start();  // after the first has ended
    std::exception_ptr thrown = worker.Wait();
    ASSERT_TRUE(thrown);
    EXPECT_THROW(std::rethrow_exception(thrown), std::runtime_error);
    EXPECT_FALSE(worker.Wait());
    worker.Start();
  }
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(seen, "13");
}

TEST(BackgroundWorker, AJobThatThrowsIsNeverDroppedByTheNextStartNorByTheEnd) {
  int runs = 0;
  std::vector<std::string> handedOn;
  {
    BackgroundWorker worker(
        [&] {
          if (++runs <= 2) throw std::runtime_error("run " + std::to_string(runs));
        },
        [&](std::exception_ptr thrown) {
          try {
            std::rethrow_exception(thrown);
          } catch (const std::runtime_error& error) {
            handedOn.push_back(error.what());
          }
        });
    worker.Start();
    // Uncollected, the first run's exception comes out of the next Start,
    // which starts nothing.
    try {
      worker.Start();
      FAIL() << "Start should raise what the first run threw";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "run 1");
    }
    EXPECT_FALSE(worker.Wait());
    EXPECT_EQ(runs, 1);
    worker.Start();  // run 2 throws, and nobody waits for it
  }
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(handedOn, std::vector<std::string>{"run 2"});
}

}  // namespace
}  // namespace velt
