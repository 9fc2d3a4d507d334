// The record converter alone: ConvertCallRecord over a large archive made of
// the sample archive's calls repeated, with the sample application folder's
// reference and mapping tables, routed to the two output tables as a run
// routes them. Reports records per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "bench_support.h"
#include "conversion/output_layout.h"
#include "conversion/record_converter.h"
#include "conversion/run_session.h"
#include "reference/reference_tables.h"
#include "support/error.h"
#include "support/run_state.h"
#include "support/text.h"
#include "table/table.h"

namespace velt {
namespace {

namespace fs = std::filesystem;

// The sample data lies beside the benchmark's sources.
const fs::path kSample = fs::path(__FILE__).parent_path().parent_path() / "data" / "sample";
constexpr int kCopies = 250;  // of the sample's 400 calls: 100,000 calls

class ConverterWorld {
 public:
  ConverterWorld()
      : dir_(fs::temp_directory_path() / ("velt-converter-bench-" + std::to_string(std::random_device{}()))) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::copy(kSample / "app", dir_ / "app", fs::copy_options::recursive);
    DerivePaths(State(), (dir_ / "app").string(), "veltconv");

    const std::string sample = (kSample / "archives" / "F1232401.DBF").string();
    archivePath_ = (dir_ / "F1232401.DBF").string();
    Table source;
    source.SetTableName(sample);
    source.CopyStructure(archivePath_);
    Table archive;
    archive.SetTableName(archivePath_);
    archive.Open();
    for (int i = 0; i < kCopies; ++i) archive.AppendFrom(sample, 32, "");
    archive.Close();

    session.tables.OpenAll();
    session.inputFilePath = archivePath_;
    session.inputFileName = "F1232401.DBF";
    session.stationCode = 123;
  }
  ~ConverterWorld() {
    session.tables.ReleaseAll();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  const std::string& ArchivePath() const { return archivePath_; }
  std::string OutPath(const std::string& name) const { return (dir_ / name).string(); }

  RunSession session{State()};

 private:
  fs::path dir_;
  std::string archivePath_;
};

void BM_ConvertCallRecord(benchmark::State& st) {
  static ConverterWorld world;
  RunSession& session = world.session;
  Table archive("VELTDBF");
  archive.SetOEMTranslate(true);
  archive.SetTableName(world.ArchivePath());
  archive.Open();
  const int smo = archive.FieldIndex("SMO");
  Table natives("OutNatives");
  Table externals("OutExternals");
  natives.SetOEMTranslate(true);
  externals.SetOEMTranslate(true);
  std::int64_t records = 0;
  for (auto _ : st) {
    session.nativesCounter = session.externalsCounter = 1;
    CreateOutputTable(natives, world.OutPath("tF1232401.DBF"));
    CreateOutputTable(externals, world.OutPath("teF1232401.DBF"));
    session.archive.Resolve(archive);
    for (archive.First(); !archive.Eof(); archive.Next()) {
      const int region = StrToIntDef(Copy(archive.TextView(smo), 1, 2), 0);
      if (region < 0) continue;
      const bool native = region == 74 || region == 0;
      session.archive.Load();
      ConvertCallRecord(session, native ? natives : externals, native);
      ++records;
    }
    natives.Close();
    externals.Close();
  }
  st.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  st.counters["peak_rss_MiB"] = static_cast<double>(bench::PeakRssBytes()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ConvertCallRecord)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velt

BENCHMARK_MAIN();
