// Two hundred conversion runs of the sample archive in one process, as a
// station converts month after month without restarting the program: the
// memory in use and the open file descriptors stay flat.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "conversion/conversion_run.h"
#include "reference/test_tables.h"
#include "support/run_state.h"
#include "support_files/fake_run_host.h"
#include "support_files/temp_dir.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELT_ASAN 1
#endif
#endif

namespace velt::testing {
namespace {

namespace fs = std::filesystem;

struct Usage {
  long residentKb = 0;
  int descriptors = 0;
};

Usage Measure() {
  Usage usage;
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  usage.residentKb = resident * (sysconf(_SC_PAGESIZE) / 1024);
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++usage.descriptors;
  return usage;
}

TEST(SoakTest, TwoHundredRunsKeepMemoryAndDescriptorsFlat) {
  if (!fs::exists("/proc/self/statm")) GTEST_SKIP() << "no /proc here";
#ifdef VELT_ASAN
  // The sanitizer holds freed memory back for a while, so memory is not
  // measured there; its leak check at exit covers it, and descriptors are
  // still counted.
  constexpr int kRuns = 40;
  constexpr bool kMeasureMemory = false;
#else
  constexpr int kRuns = 200;
  constexpr bool kMeasureMemory = true;
#endif
  constexpr int kWarmUp = 10;
  // A kilobyte kept per run would pass unnoticed; ten would not.
  constexpr long kMarginKb = 1024;

  TempDir dir;
  fs::copy(std::string(VELT_SOURCE_DIR) + "/data/sample/app", dir.Path() + "app",
           fs::copy_options::recursive);
  fs::create_directories(dir.Path() + "out");
  const std::string archive = dir.File("F1232401.DBF");
  fs::copy(std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F1232401.DBF", archive);
  DerivePaths(State(), dir.Path() + "app", "veltconv");
  State().inputCodePage = "OEM";
  RunTables tables;
  testing::FakeRunHost host;
  Usage first, warm, last;
  for (int run = 1; run <= kRuns; ++run) {
    RunSummary summary = RunConversion(tables, host, archive, dir.Path() + "out");
    ASSERT_EQ(summary.outcome, RunOutcome::Completed) << "run " << run;
    ASSERT_EQ(summary.nativesWritten, 273) << "run " << run;
    if (run == 1) first = Measure();
    if (run == kWarmUp) warm = Measure();
  }
  last = Measure();
  EXPECT_TRUE(host.messages.empty());

  std::printf(
      "soak: %d runs; resident memory %ld kB after run 1, %ld kB after run %d, %ld kB after run %d; "
      "descriptors %d, %d, %d\n",
      kRuns, first.residentKb, warm.residentKb, kWarmUp, last.residentKb, kRuns, first.descriptors,
      warm.descriptors, last.descriptors);
  ::testing::Test::RecordProperty("resident_kb_first", static_cast<int>(first.residentKb));
  ::testing::Test::RecordProperty("resident_kb_last", static_cast<int>(last.residentKb));
  ::testing::Test::RecordProperty("descriptors_last", last.descriptors);
  EXPECT_EQ(last.descriptors, first.descriptors);
  if (kMeasureMemory) {
    EXPECT_LE(last.residentKb, warm.residentKb + kMarginKb);
  }
}

}  // namespace
}  // namespace velt::testing
