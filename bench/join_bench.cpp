// A year of one station joined: twelve monthly archives of 50,000 calls
// each, as the composition window joins them. Beside it `cat` copies the
// same bytes into one file, the floor that any join stands on. Targets: the
// join under one second and at most three times the time of `cat`.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "composition/archive_join.h"
#include "support/platform.h"
#include "support/run_state.h"

namespace velt {
namespace {

namespace fs = std::filesystem;

constexpr int kMonths = 12;
constexpr std::uint32_t kCallsPerMonth = 50000;
// The sample data lies beside the benchmark's sources.
const std::string kSample =
    (fs::path(__FILE__).parent_path().parent_path() / "data" / "sample" / "archives" / "F1232401.DBF")
        .string();

std::uint32_t Le(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

class QuietHost : public JoinHost {
 public:
  void ShowProgress(int) override {}
  void HideProgress() override {}
  void ShowMessage(const std::string&) override {}
  void NameMissing() override {}
  void Joined(const std::string&) override {}
};

// Twelve archives made of the sample's calls repeated, in a folder of their
// own, made once per process and removed at its end.
class Year {
 public:
  static Year& Get() {
    static Year year;
    return year;
  }
  ~Year() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  const std::vector<std::string>& Archives() const { return archives_; }
  std::uint64_t Bytes() const { return bytes_; }
  const std::string& Root() const { return root_; }

 private:
  Year()
      : root_((fs::temp_directory_path() / ("velt-join-bench-" + std::to_string(std::random_device()())))
                  .string()) {
    fs::create_directories(root_ + "/app/in");
    fs::create_directories(root_ + "/archives");
    DerivePaths(State(), root_ + "/app", "veltconv");
    std::string sample;
    if (!platform::ReadWholeFile(kSample, sample)) std::abort();
    const std::uint32_t header = Le(sample, 8, 2), length = Le(sample, 10, 2), count = Le(sample, 4, 4);
    const std::string records = sample.substr(header, std::size_t{count} * length);
    for (int month = 1; month <= kMonths; ++month) {
      std::string file = sample.substr(0, header);
      std::memcpy(file.data() + 4, &kCallsPerMonth, 4);  // little-endian host
      file.reserve(header + std::size_t{kCallsPerMonth} * length + 1);
      for (std::uint32_t i = 0; i < kCallsPerMonth; ++i) {
        const std::size_t from = std::size_t{i % count} * length;
        file.append(records, from, length);
      }
      file += '\x1A';
      char name[32];
      std::snprintf(name, sizeof name, "/archives/F12324%02d.DBF", month);
      archives_.push_back(root_ + name);
      if (!platform::WriteWholeFile(archives_.back(), file)) std::abort();
      bytes_ += file.size();
    }
  }

  std::string root_;
  std::vector<std::string> archives_;
  std::uint64_t bytes_ = 0;
};

double g_bestJoin = std::numeric_limits<double>::infinity();
double g_bestCat = std::numeric_limits<double>::infinity();

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_JoinYear(benchmark::State& state) {
  Year& year = Year::Get();
  QuietHost host;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    JoinOutcome outcome = JoinArchives(year.Archives(), "F1232400.DBF", host);
    double seconds = SecondsSince(start);
    if (outcome != JoinOutcome::Joined) state.SkipWithError("the join failed");
    state.SetIterationTime(seconds);
    g_bestJoin = std::min(g_bestJoin, seconds);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * year.Bytes()));
  state.counters["records"] = kMonths * kCallsPerMonth;
}
BENCHMARK(BM_JoinYear)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CatYear(benchmark::State& state) {
  Year& year = Year::Get();
  std::string command = "cat";
  for (const std::string& archive : year.Archives()) command += " '" + archive + "'";
  command += " > '" + year.Root() + "/app/in/cat.DBF'";
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    int status = std::system(command.c_str());
    double seconds = SecondsSince(start);
    if (status != 0) state.SkipWithError("cat failed");
    state.SetIterationTime(seconds);
    g_bestCat = std::min(g_bestCat, seconds);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * year.Bytes()));
}
BENCHMARK(BM_CatYear)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace velt

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  using velt::g_bestCat;
  using velt::g_bestJoin;
  if (g_bestJoin < std::numeric_limits<double>::infinity() &&
      g_bestCat < std::numeric_limits<double>::infinity()) {
    const double mib = static_cast<double>(velt::Year::Get().Bytes()) / (1 << 20);
    std::printf("join of %d archives (%.0f MiB, %d calls): best %.3f s (target < 1 s: %s)\n", velt::kMonths,
                mib, velt::kMonths * static_cast<int>(velt::kCallsPerMonth), g_bestJoin,
                g_bestJoin < 1.0 ? "met" : "MISSED");
    std::printf("cat of the same bytes: best %.3f s; join / cat = %.2f (target <= 3: %s)\n", g_bestCat,
                g_bestJoin / g_bestCat, g_bestJoin <= 3 * g_bestCat ? "met" : "MISSED");
  }
  return 0;
}
