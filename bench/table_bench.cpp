// The table layer on a street table of a large region (1,000,000 records:
// NAME C(40) Cyrillic, SOCR C(10), CODE C(17)) and on the 98-field output
// table: building the UPPER(NAME) index with its NTX file, exact-scope
// lookups with Count, a sequential scan reading three fields, and appending
// output records. The index is built first so that the peak memory figure
// belongs to it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "conversion/output_layout.h"
#include "support/code_page.h"
#include "support/platform.h"
#include "table/dbf_file.h"
#include "table/table.h"

namespace velt {
namespace {

constexpr std::uint32_t kStreets = 1000000;

class StreetTable {
 public:
  static StreetTable& Get() {
    static StreetTable instance;
    return instance;
  }
  const std::string& Path() const { return path_; }
  std::string Dir() const { return dir_; }
  std::uint64_t FileSize() const { return fileSize_; }
  // Upper-cased names of existing records, in 1251, for lookups.
  const std::vector<std::string>& Keys() const { return keys_; }

 private:
  StreetTable() {
    dir_ = (std::filesystem::temp_directory_path() / ("velt-table-bench-" + std::to_string(::getpid())))
               .string();
    std::filesystem::create_directories(dir_);
    path_ = dir_ + "/street.dbf";
    Generate();
  }
  ~StreetTable() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Written as raw blocks: the generation is not what is measured.
  void Generate() {
    const char* syllables[] = {"Лен", "ин",   "ска", "Мир", "ова", "Гор", "ько", "го",  "Сад", "овая",
                               "Пуш", "кина", "Лес", "ная", "Зар", "еч",  "Про", "лет", "ар",  "Ком",
                               "сом", "оль",  "Ок",  "тяб", "рьс", "кая", "Юж",  "Сев", "ерн", "ая"};
    std::vector<std::string> parts;
    for (const char* s : syllables) parts.push_back(Utf8ToAnsi(s));
    const std::string socr[] = {Utf8ToAnsi("ул"), Utf8ToAnsi("пер"), Utf8ToAnsi("пр-кт"), Utf8ToAnsi("б-р")};

    dbf::Layout layout;
    dbf::PlanLayout({{"NAME", 'C', 40, 0, 0}, {"SOCR", 'C', 10, 0, 0}, {"CODE", 'C', 17, 0, 0}},
                    dbf::kLanguageCp866, layout);
    dbf::WriteEmptyTable(path_, layout);
    dbf::DbfFile file;
    file.Open(path_, true, true);
    const std::uint32_t length = layout.recordLength, block = 16384;
    std::vector<char> records(block * length);
    std::mt19937 random(42);
    std::string name;
    for (std::uint32_t done = 0; done < kStreets; done += block) {
      std::uint32_t n = std::min(block, kStreets - done);
      std::fill(records.begin(), records.end(), ' ');
      for (std::uint32_t r = 0; r < n; ++r) {
        char* record = records.data() + r * length;
        name = parts[random() % parts.size()] + parts[random() % parts.size()] +
               parts[random() % parts.size()] + " " + std::to_string(random() % 40);
        std::copy(name.begin(), name.end(), record + 1);
        const std::string& s = socr[random() % 4];
        std::copy(s.begin(), s.end(), record + 41);
        std::string code = std::to_string(74000000000000000ull + done + r);
        std::copy(code.begin(), code.end(), record + 51);
        if ((done + r) % 97 == 0) keys_.push_back(UpperCase(name));
      }
      file.ToDisk(records.data(), n);
      file.AppendRaw(records.data(), n);
    }
    file.Close();
    std::shuffle(keys_.begin(), keys_.end(), random);
    fileSize_ = std::filesystem::file_size(path_);
  }

  std::string dir_, path_;
  std::uint64_t fileSize_ = 0;
  std::vector<std::string> keys_;
};

void OpenStreets(Table& table) {
  table.SetTableName(StreetTable::Get().Path());
  table.SetOEMTranslate(true);
  table.Open();
}

void BM_BuildStreetIndex(benchmark::State& state) {
  StreetTable& streets = StreetTable::Get();
  for (auto _ : state) {
    Table table;
    OpenStreets(table);
    table.SetOrder(table.Index(streets.Dir() + "/street.ntx", "UPPER(NAME)", 0, true, ""));
    benchmark::DoNotOptimize(table.Count());
  }
  state.counters["records"] = kStreets;
  state.counters["file_mb"] = static_cast<double>(streets.FileSize()) / (1 << 20);
  state.counters["peak_rss_mb"] = static_cast<double>(bench::PeakRssBytes()) / (1 << 20);
  state.counters["peak_per_file"] =
      static_cast<double>(bench::PeakRssBytes()) / static_cast<double>(streets.FileSize());
}
BENCHMARK(BM_BuildStreetIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExactScopeWithCount(benchmark::State& state) {
  StreetTable& streets = StreetTable::Get();
  Table table;
  OpenStreets(table);
  table.SetOrder(table.Index(streets.Dir() + "/lookup.ntx", "UPPER(NAME)", 0, true, ""));
  const auto& keys = streets.Keys();
  std::size_t i = 0;
  std::int64_t found = 0;
  for (auto _ : state) {
    const std::string& key = keys[i++ % keys.size()];
    table.SetScope(key, key);
    found += table.Count();
  }
  if (found < state.iterations()) state.SkipWithError("a key was not found");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExactScopeWithCount);

void BM_SequentialScanThreeFields(benchmark::State& state) {
  std::int64_t records = 0;
  for (auto _ : state) {
    Table table;
    OpenStreets(table);
    const int name = table.FieldIndex("NAME"), socr = table.FieldIndex("SOCR"),
              code = table.FieldIndex("CODE");
    std::size_t bytes = 0;
    for (table.First(); !table.Eof(); table.Next()) {
      bytes += table.TextView(name).size() + table.TextView(socr).size() + table.TextView(code).size();
      ++records;
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(records);
}
BENCHMARK(BM_SequentialScanThreeFields)->Unit(benchmark::kMillisecond);

void BM_AppendOutputRecords(benchmark::State& state) {
  const std::string path = StreetTable::Get().Dir() + "/tF0012401.dbf";
  Table table("OutNatives");
  table.SetOEMTranslate(true);
  CreateOutputTable(table, path);
  const std::string family = Utf8ToAnsi("Иванов"), name = Utf8ToAnsi("Пётр"),
                    father = Utf8ToAnsi("Сергеевич");
  int n = 0;
  for (auto _ : state) {
    ++n;
    table.Append();
    // Every field written, as a converted call has them: texts, integers,
    // dates, amounts.
    for (int i = 0; i < kOutputFieldCount; ++i) {
      switch (kOutputLayout[static_cast<std::size_t>(i)].type) {
        case 'C':
          table.SetString(i, i % 3 == 0 ? family : (i % 3 == 1 ? name : father));
          break;
        case 'D':
          table.SetDateTime(i, 45000 + n % 365);
          break;
        default:
          if (kOutputLayout[static_cast<std::size_t>(i)].decimals > 0)
            table.SetFloat(i, 12.5);
          else
            table.SetInteger(i, n % 10);
      }
    }
    table.Post();
  }
  state.SetItemsProcessed(state.iterations());
  table.Close();
  platform::RemoveFile(path);
}
BENCHMARK(BM_AppendOutputRecords)->MinTime(2.0);

}  // namespace
}  // namespace velt

BENCHMARK_MAIN();
