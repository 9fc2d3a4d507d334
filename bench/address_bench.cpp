// Address resolution against a street reference of 200,000 records and
// 5,000 settlements: microseconds per resolved address, alone and as the
// whole address group of a record (reading the archive fields, writing the
// seven output fields), and the once-per-run street directory.
//
// Settlement names come from the KLADR settlement table of region 02
// (data/sample/source/kladr_city.csv, or the file named by VELT_KLADR_CITY),
// rewritten into home-region codes; street names are invented.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "conversion/address.h"
#include "conversion/output_layout.h"
#include "conversion/record_context.h"
#include "conversion/record_groups.h"
#include "conversion/run_session.h"
#include "conversion/street_directory.h"
#include "reference/reference_tables.h"
#include "support/code_page.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "table/table.h"

namespace velt {
namespace {

constexpr int kSettlements = 5000;
constexpr int kStreets = 200000;
constexpr int kCalls = 20000;

struct Settlement {
  std::string name;  // 1251, as KLADR spells it
  std::string socr;
  std::string code;  // 11 characters
  std::vector<int> streets;
};

struct Street {
  std::string name;
  std::string socr;
  std::string code;
};

struct Call {
  std::string city;
  std::string street;
  std::string house;
  std::string flat;
};

std::string KladrFile() {
  if (const char* path = std::getenv("VELT_KLADR_CITY")) return path;
  return "data/sample/source/kladr_city.csv";
}

// Settlement names of the KLADR file, or numbered names when it is absent.
std::vector<Settlement> ReadSettlements() {
  std::vector<Settlement> out;
  std::ifstream in(KladrFile());
  std::string line;
  std::getline(in, line);  // header NAME,SOCR,CODE
  while (std::getline(in, line) && out.size() < kSettlements) {
    const std::size_t first = line.find(','), last = line.rfind(',');
    if (first == std::string::npos || last == first || line.size() - last - 1 < 11) continue;
    std::string name = line.substr(0, first);
    const std::string code = line.substr(last + 1);
    // A code with a town part but no settlement part is a town.
    const bool town = code.substr(5, 3) != "000" && code.substr(8, 3) == "000";
    out.push_back({Utf8ToAnsi(name),
                   Utf8ToAnsi(town ? "г" : (out.size() % 3 ? "п" : "пгт")),
                   "74" + code.substr(2, 9),
                   {}});
  }
  if (out.empty()) std::fprintf(stderr, "%s not readable: numbered settlement names\n", KladrFile().c_str());
  // Top up with copies of other regions, so that some names lead to a walk.
  for (std::size_t i = 0; out.size() < kSettlements; ++i) {
    Settlement s =
        i < out.size() ? out[i] : Settlement{Utf8ToAnsi("Поселок ") + std::to_string(i), "", "", {}};
    char code[16];
    std::snprintf(code, sizeof code, "%02d%09zu", i < out.size() ? 2 : 74, i);
    s.code = code;
    out.push_back(s);
  }
  return out;
}

std::vector<std::string> StreetNames() {
  const char* base[] = {
      "Ленина",       "Мира",         "Советская",   "Школьная",    "Садовая",    "Победы",
      "Северная",     "Полевая",      "Молодежная",  "Центральная", "Лесная",     "Набережная",
      "Гагарина",     "Заводская",    "Кирова",      "Пушкина",     "Чапаева",    "Комсомольская",
      "Новая",        "Зеленая",      "Трудовая",    "Рабочая",     "Пионерская", "Луговая",
      "Речная",       "Солнечная",    "Строителей",  "Нагорная",    "Весенняя",   "Цветочная",
      "Партизанская", "Первомайская", "Энергетиков", "Почтовая",    "Вокзальная", "Береговая"};
  std::vector<std::string> names;
  for (const char* b : base) {
    names.push_back(Utf8ToAnsi(b));
    for (int i = 1; i <= 24; ++i) names.push_back(Utf8ToAnsi(b) + " " + std::to_string(i) + Utf8ToAnsi("-я"));
  }
  return names;
}

template <typename Fill>
void WriteTable(const std::string& path, const std::vector<std::tuple<const char*, const char*, int>>& fields,
                std::size_t rows, Fill fill) {
  Table table;
  table.SetOEMTranslate(true);
  table.CreateNew(path, 2, static_cast<int>(fields.size()));
  for (const auto& [name, type, width] : fields) table.CreateField(name, type, width, 0);
  table.CreateExec();
  table.SetTableName(path);
  table.Open();
  for (std::size_t i = 0; i < rows; ++i) {
    table.Append();
    fill(table, i);
    table.Post();
  }
  table.Close();
}

// The reference tables of a run and an archive of calls, made once.
class World {
 public:
  static World& Get() {
    static World world;
    return world;
  }
  ~World() {
    session.tables.ReleaseAll();
    input.Close();
    output.Close();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  std::vector<Call> calls;
  RunSession session{State()};
  Table input{"VELTDBF"};
  Table output{"OutNatives"};

 private:
  World() {
    root_ = std::filesystem::temp_directory_path() /
            ("velt-address-bench-" + std::to_string(std::random_device{}()));
    DerivePaths(State(), root_.string(), "veltconv");
    for (const std::string* dir : {&State().mappingDirPath, &State().indexDirPath, &State().pavkDirPath})
      platform::CreateDirectories(*dir);
    const std::string pavk = State().pavkDirPath + "/";
    std::mt19937 rng(74);

    std::vector<Settlement> settlements = ReadSettlements();
    const std::vector<std::string> names = StreetNames();
    const char* socrs[] = {"ул", "ул", "ул", "ул", "пер", "пр-кт"};
    std::vector<Street> streets;
    streets.reserve(kStreets);
    for (int i = 0; i < kStreets; ++i) {
      // The first 60 settlements, the towns around the station, hold half
      // of the streets.
      const std::size_t s = i % 2 == 0 ? i / 2 % 60 : 60 + (i / 2) % (settlements.size() - 60);
      char code[32];
      std::snprintf(code, sizeof code, "%s%04d00", settlements[s].code.c_str(),
                    static_cast<int>(settlements[s].streets.size() + 1) % 10000);
      settlements[s].streets.push_back(i);
      streets.push_back({names[rng() % names.size()], Utf8ToAnsi(socrs[i % 6]), code});
    }
    WriteTable(pavk + "city.dbf", {{"NAME", "C", 40}, {"SOCR", "C", 10}, {"CODE", "C", 11}},
               settlements.size(), [&](Table& t, std::size_t i) {
                 t.SetString(0, settlements[i].name);
                 t.SetString(1, settlements[i].socr);
                 t.SetString(2, settlements[i].code);
               });
    WriteTable(pavk + "street.dbf", {{"NAME", "C", 40}, {"SOCR", "C", 10}, {"CODE", "C", 17}}, streets.size(),
               [&](Table& t, std::size_t i) {
                 t.SetString(0, streets[i].name);
                 t.SetString(1, streets[i].socr);
                 t.SetString(2, streets[i].code);
               });
    WriteTable(pavk + "lpu.dbf", {{"NPP", "N", 4}, {"ADRESS", "C", 100}, {"CATEGORY", "N", 1}}, 1,
               [&](Table& t, std::size_t) {
                 t.SetInteger(0, 123);
                 t.SetString(1, Utf8ToAnsi("г. ") + settlements[0].name + ", " + Utf8ToAnsi("ул. ") +
                                    streets[0].name + ", 70");
                 t.SetInteger(2, 1);
               });
    WriteTable(State().mappingDirPath + "/tr_lpu.dbf",
               {{"VELTCODE", "C", 5}, {"VELTNAME", "C", 100}, {"PAVK", "C", 100}}, 1,
               [&](Table& t, std::size_t) {
                 t.SetString(1, UpperCase("=" + settlements[0].name) + Utf8ToAnsi("_+ГКБ 8"));
                 t.SetString(2, Utf8ToAnsi("123 - ГКБ 8"));
               });
    for (const char* name : {"city", "street", "lpu", "tr_lpu"}) session.tables.Open(name);

    // Calls as dispatchers type them: mostly the towns, a few without a
    // marker, unknown streets and institutions.
    const char* typed[] = {"ул. ", "ул.", "", "пер. ", "Проспект "};
    for (int i = 0; i < kCalls; ++i) {
      const Settlement& s = settlements[rng() % 10 < 7 ? rng() % 60 : rng() % settlements.size()];
      Call c;
      c.city = (rng() % 50 == 0 ? "" : "=") + s.name;
      const int kind = static_cast<int>(rng() % 100);
      if (kind < 3) {
        c.street = Utf8ToAnsi("+ГКБ 8");
      } else if (kind < 8 || s.streets.empty()) {
        c.street = Utf8ToAnsi("ул. Неизвестная");
      } else {
        c.street = Utf8ToAnsi(typed[rng() % 5]) + streets[s.streets[rng() % s.streets.size()]].name;
      }
      c.house = std::to_string(1 + rng() % 150) + (rng() % 4 == 0 ? Utf8ToAnsi("а") : "");
      c.flat = std::to_string(1 + rng() % 300);
      calls.push_back(std::move(c));
    }
    const std::string archive = root_.string() + "/F1232401.DBF";
    WriteTable(archive,
               {{"NGOD", "C", 10}, {"CITY", "C", 40}, {"ULIC", "C", 40}, {"DOM", "C", 10}, {"KVAR", "C", 10}},
               calls.size(), [&](Table& t, std::size_t i) {
                 t.SetString(0, std::to_string(i + 1));
                 t.SetString(1, calls[i].city);
                 t.SetString(2, calls[i].street);
                 t.SetString(3, calls[i].house);
                 t.SetString(4, calls[i].flat);
               });
    input.SetOEMTranslate(true);
    input.SetTableName(archive);
    input.Open();
    CreateOutputTable(output, root_.string() + "/tF1232401.DBF");
    session.stationCode = 123;
  }

  std::filesystem::path root_;
};

void ReportPerAddress(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations());
  // Seconds per address, shown with its prefix ("2.1u" is 2.1 microseconds).
  state.counters["per_address"] = benchmark::Counter(
      static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["peak_rss_MiB"] = static_cast<double>(bench::PeakRssBytes()) / (1 << 20);
}

void BM_ResolveAddress(benchmark::State& state) {
  World& world = World::Get();
  AddressResult result;
  std::size_t i = 0;
  int found = 0;
  for (auto _ : state) {
    const Call& c = world.calls[i];
    ResolveAddress(world.session, c.city, c.street, c.house, result);
    found += !result.streetCode.empty();
    if (++i == world.calls.size()) i = 0;
  }
  benchmark::DoNotOptimize(found);
  ReportPerAddress(state);
}
BENCHMARK(BM_ResolveAddress);

// Moving through the archive and starting and dropping an output record,
// without the group: what BM_AddressGroup costs beyond the group itself.
void BM_RecordLoopAlone(benchmark::State& state) {
  World& world = World::Get();
  world.input.First();
  for (auto _ : state) {
    world.input.Next();
    if (world.input.Eof()) world.input.First();
    world.output.Append();
    world.output.Cancel();
  }
  ReportPerAddress(state);
}
BENCHMARK(BM_RecordLoopAlone);

void BM_AddressGroup(benchmark::State& state) {
  World& world = World::Get();
  world.session.archive.Resolve(world.input);
  world.input.First();
  for (auto _ : state) {
    world.input.Next();
    if (world.input.Eof()) world.input.First();
    world.session.archive.Load();
    world.output.Append();
    OutputRecord out(world.output.EditBuffer());
    RecordContext ctx(world.session, out, true);
    AddressGroup(ctx);
    world.output.Cancel();
  }
  ReportPerAddress(state);
}
BENCHMARK(BM_AddressGroup);

// Once per run: the directory of the 200,000 streets, built at the first
// address of the run.
void BM_StreetDirectoryBuild(benchmark::State& state) {
  World::Get();
  Table& streets = *World::Get().session.tables.Get(Lookup::street);
  std::size_t entries = 0;
  for (auto _ : state) {
    StreetDirectory directory;
    directory.Refresh(streets);
    entries = directory.size();
  }
  state.counters["streets"] = static_cast<double>(entries);
}
BENCHMARK(BM_StreetDirectoryBuild)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace velt

BENCHMARK_MAIN();
