#include "support/background_worker.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

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

}  // namespace
}  // namespace velt
