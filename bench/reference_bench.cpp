// Classifier recoding on a large mapping table, and the opening of the
// twelve reference and mapping tables at the start of a run with a street
// table of a big city region.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "reference/mapping_lookup.h"
#include "reference/reference_tables.h"
#include "support/code_page.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "table/table.h"

namespace velt {
namespace {

constexpr int kMappingRows = 10000;
constexpr int kStreetRows = 200000;

struct Column {
  const char* name;
  const char* type;
  int width;
};

// Writes `rows` records; fill(table, i) sets the fields of record i.
template <typename Fill>
void WriteTable(const std::string& path, const std::vector<Column>& columns, int rows, Fill fill) {
  Table table;
  table.SetOEMTranslate(true);
  table.CreateNew(path, 2, static_cast<int>(columns.size()));
  for (const Column& c : columns) table.CreateField(c.name, c.type, c.width, 0);
  table.CreateExec();
  table.SetTableName(path);
  table.Open();
  for (int i = 0; i < rows; ++i) {
    table.Append();
    fill(table, i);
    table.Post();
  }
  table.Close();
}

void WriteMapping(const std::string& name, int rows) {
  const std::vector<Column> columns = {{"veltcode", "C", 5}, {"veltname", "C", 100}, {"pavk", "C", 100}};
  const std::string pavkName = Utf8ToAnsi(" - Результат выезда");
  WriteTable(State().mappingDirPath + "/" + name + ".dbf", columns, rows, [&](Table& t, int i) {
    t.SetString(0, std::to_string(i));
    t.SetString(1, Utf8ToAnsi("Значение ") + std::to_string(i));
    t.SetString(2, std::to_string(i % 400) + pavkName);
  });
}

// An application folder with all twelve tables, made once per process.
class BenchFolder {
 public:
  static BenchFolder& Get() {
    static BenchFolder folder;
    return folder;
  }
  ~BenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

 private:
  BenchFolder() {
    root_ = std::filesystem::temp_directory_path() /
            ("velt-reference-bench-" + std::to_string(std::random_device{}()));
    DerivePaths(State(), root_.string(), "veltconv");
    for (const std::string* dir : {&State().mappingDirPath, &State().indexDirPath, &State().pavkDirPath}) {
      platform::CreateDirectories(*dir);
    }
    WriteMapping("tr_rslt", kMappingRows);
    for (const char* name : {"tr_from", "tr_reas", "tr_reas1", "tr_vid", "tr_lpu", "tr_trag"}) {
      WriteMapping(name, 50);
    }
    const std::string pavk = State().pavkDirPath + "/";
    const std::vector<Column> places = {{"NAME", "C", 40}, {"CODE", "C", 17}, {"SOCR", "C", 10}};
    const std::string streetName = Utf8ToAnsi("Улица Героев ");
    WriteTable(pavk + "street.dbf", places, kStreetRows, [&](Table& t, int i) {
      t.SetString(0, streetName + std::to_string((i * 7919) % kStreetRows));
      t.SetString(1, "740000010000" + std::to_string(10000 + i % 90000));
      t.SetString(2, Utf8ToAnsi("ул"));
    });
    WriteTable(pavk + "city.dbf", places, 2000, [&](Table& t, int i) {
      t.SetString(0, Utf8ToAnsi("Город ") + std::to_string(i));
      t.SetString(1, std::to_string(74000000000LL + i));
      t.SetString(2, Utf8ToAnsi("г"));
    });
    WriteTable(pavk + "f002.dbf", {{"SMOCOD", "C", 5}, {"TF_OKATO", "C", 5}}, 100,
               [](Table& t, int i) { t.SetString(0, std::to_string(74000 + i)); });
    WriteTable(pavk + "tarif.dbf",
               {{"COD_SPEC", "N", 4},
                {"CATEGORY", "N", 1},
                {"PLACE", "N", 2},
                {"PURPOSE", "C", 2},
                {"TARIF", "N", 10}},
               3000, [](Table& t, int i) {
                 t.SetInteger(0, i % 1000);
                 t.SetInteger(1, i % 3 + 1);
                 t.SetInteger(2, i % 2 == 0 ? 20 : 30);
                 t.SetString(3, "03");
                 t.SetInteger(4, 1000 + i);
               });
    WriteTable(pavk + "lpu.dbf", {{"NPP", "N", 4}, {"CATEGORY", "N", 1}, {"ADRESS", "C", 100}}, 500,
               [](Table& t, int i) {
                 t.SetInteger(0, i + 1);
                 t.SetInteger(1, 2);
               });
  }

  std::filesystem::path root_;
};

void BM_RecodeValue(benchmark::State& state) {
  BenchFolder::Get();
  ReferenceTables tables{State()};
  tables.Open("tr_rslt");
  Table& table = *tables.Get(Lookup::tr_rslt);
  std::vector<std::string> keys;
  for (int i = 0; i < 1024; ++i) keys.push_back(std::to_string((i * 7877) % (kMappingRows + 100)));
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(RecodeValue(keys[next], table));
    next = (next + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RecodeValue);

// The same lookups as a run makes them: one probe of the mapping's hash.
void BM_MappingLookup(benchmark::State& state) {
  BenchFolder::Get();
  ReferenceTables tables{State()};
  tables.Open("tr_rslt");
  MappingLookup lookup;
  lookup.Build(*tables.Get(Lookup::tr_rslt));
  std::vector<std::string> keys;
  for (int i = 0; i < 1024; ++i) keys.push_back(std::to_string((i * 7877) % (kMappingRows + 100)));
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lookup.Find(keys[next]));
    next = (next + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MappingLookup);

void BM_OpenAllTables(benchmark::State& state) {
  BenchFolder::Get();
  for (auto _ : state) {
    ReferenceTables tables{State()};
    tables.OpenAll();
  }
}
BENCHMARK(BM_OpenAllTables)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace velt

BENCHMARK_MAIN();
