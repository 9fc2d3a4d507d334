// One archive record of any content converted against a fixed reference
// world (the sample installation's mapping and reference tables).
//
// Input: lines "FIELD=value"; the value's bytes go into the record as they
// are on disk (code page 866), cut to the field's width. A first line
// starting with "#" chooses the run: "B" the second archive layout (birth
// date in a date field DATA_R, no KOD1 or ISHOD), "A" the ANSI code page,
// digits the station code.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "conversion/output_layout.h"
#include "conversion/record_converter.h"
#include "conversion/run_session.h"
#include "fuzz_support.h"
#include "reference/reference_tables.h"
#include "support/error.h"
#include "support/run_state.h"
#include "support/text.h"
#include "table/table.h"

namespace {

namespace fs = std::filesystem;
using velt::Table;

struct ArchiveField {
  const char* name;
  const char* type;
  int width;
  int decimals;
};

// The sample archive's fields and the optional ones it lacks.
constexpr ArchiveField kLayoutA[] = {
    {"NGOD", "C", 10, 0},   {"NUMV", "C", 9, 0},    {"PROF", "C", 2, 0},  {"PRFB", "C", 1, 0},
    {"SPOL", "C", 20, 0},   {"NPOLIS", "C", 20, 0}, {"FAM", "C", 40, 0},  {"IMYA", "C", 40, 0},
    {"OTCH", "C", 40, 0},   {"KOD1", "C", 10, 0},   {"POL", "C", 1, 0},   {"TDOKUM", "C", 2, 0},
    {"NDOKUM", "C", 30, 0}, {"SNILS", "C", 14, 0},  {"CITY", "C", 40, 0}, {"ULIC", "C", 60, 0},
    {"DOM", "C", 12, 0},    {"KVAR", "C", 10, 0},   {"SMO", "C", 20, 0},  {"DPRM", "C", 6, 0},
    {"TPRM", "C", 5, 0},    {"TISP", "C", 5, 0},    {"TPER", "C", 5, 0},  {"VYEZ", "C", 5, 0},
    {"PRZD", "C", 5, 0},    {"TGSP", "C", 5, 0},    {"TSTA", "C", 5, 0},  {"DSHS", "C", 7, 0},
    {"DS1", "C", 7, 0},     {"REZL", "C", 5, 0},    {"ISHOD", "N", 3, 0}, {"COD_SPEC", "N", 4, 0},
    {"KUDA", "C", 100, 0},  {"POVD", "C", 5, 0},    {"TRAV", "C", 5, 0},  {"POVT", "C", 5, 0},
    {"MEST", "C", 5, 0},    {"KILO", "C", 6, 0},    {"DOKT", "C", 15, 0}, {"PRTY", "C", 2, 0}};

// Without KOD1, ISHOD, SPOL and COD_SPEC; the birth date in a date field.
constexpr ArchiveField kLayoutB[] = {
    {"NGOD", "C", 10, 0},   {"NUMV", "C", 9, 0},   {"PROF", "C", 2, 0},   {"PRFB", "C", 1, 0},
    {"NPOLIS", "C", 20, 0}, {"FAM", "C", 40, 0},   {"IMYA", "C", 40, 0},  {"OTCH", "C", 40, 0},
    {"DATA_R", "D", 8, 0},  {"POL", "C", 1, 0},    {"TDOKUM", "C", 2, 0}, {"NDOKUM", "C", 30, 0},
    {"SNILS", "C", 14, 0},  {"CITY", "C", 40, 0},  {"ULIC", "C", 60, 0},  {"DOM", "C", 12, 0},
    {"KVAR", "C", 10, 0},   {"SMO", "C", 20, 0},   {"DPRM", "C", 6, 0},   {"TPRM", "C", 5, 0},
    {"TISP", "C", 5, 0},    {"TPER", "C", 5, 0},   {"VYEZ", "C", 5, 0},   {"PRZD", "C", 5, 0},
    {"TGSP", "C", 5, 0},    {"TSTA", "C", 5, 0},   {"DSHS", "C", 7, 0},   {"DS1", "C", 7, 0},
    {"REZL", "C", 5, 0},    {"KUDA", "C", 100, 0}, {"POVD", "C", 5, 0},   {"TRAV", "C", 5, 0},
    {"POVT", "C", 5, 0},    {"MEST", "C", 5, 0},   {"KILO", "C", 6, 0},   {"DOKT", "C", 15, 0},
    {"PRTY", "C", 2, 0}};

// An archive layout: the header of an empty table of it and its fields.
struct Archive {
  std::string header;  // up to and including the header terminator
  std::vector<velt::FieldInfo> fields;
  int recordLength = 0;
};

template <std::size_t N>
Archive MakeArchive(const ArchiveField (&layout)[N], const std::string& path) {
  Table table;
  table.SetOEMTranslate(true);
  table.CreateNew(path, 2, static_cast<int>(N));
  for (const ArchiveField& field : layout)
    table.CreateField(field.name, field.type, field.width, field.decimals);
  table.CreateExec();
  table.SetTableName(path);
  table.Open();
  Archive archive;
  archive.fields = table.Fields();
  table.Close();
  std::string bytes = velt::fuzz::ReadFile(path);
  archive.header = bytes.substr(0, bytes.size() - 1);  // the empty table ends with 0x1A
  archive.recordLength = static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
  return archive;
}

struct World {
  std::string archivePath;
  std::string outputPath;
  Archive layoutA, layoutB;
  velt::RunSession session{velt::State()};
  Table output{"OutNatives"};
  int recordsInOutput = 0;
};

World& TheWorld() {
  static World* world = [] {
    auto* w = new World;
    const std::string root = velt::fuzz::ScratchDir();
    fs::copy(std::string(VELT_SOURCE_DIR) + "/data/sample/app", root + "app", fs::copy_options::recursive);
    velt::RunState& state = velt::State();
    velt::DerivePaths(state, root + "app", "veltconv");
    w->session.tables.OpenAll();
    w->layoutA = MakeArchive(kLayoutA, root + "A.DBF");
    w->layoutB = MakeArchive(kLayoutB, root + "B.DBF");
    w->archivePath = root + "F1232401.DBF";
    w->outputPath = root + "tF1232401.DBF";
    w->output.SetOEMTranslate(true);
    return w;
  }();
  return *world;
}

struct Options {
  bool layoutB = false;
  bool ansi = false;
  int station = 123;
};

Options ReadOptions(std::string_view line) {
  Options options;
  if (line.empty() || line.front() != '#') return options;
  std::string digits;
  for (char c : line) {
    if (c == 'B') options.layoutB = true;
    if (c == 'A') options.ansi = true;
    if (c >= '0' && c <= '9' && digits.size() < 4) digits += c;
  }
  if (!digits.empty()) options.station = std::stoi(digits);
  return options;
}

// The archive file: the layout's header with a count of one, the record,
// the end mark.
std::string ArchiveBytes(const Archive& archive, const std::vector<std::string_view>& lines) {
  std::string record(static_cast<std::size_t>(archive.recordLength), ' ');
  for (std::string_view line : lines) {
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view name = line.substr(0, eq);
    std::string_view value = line.substr(eq + 1);
    for (const velt::FieldInfo& field : archive.fields) {
      if (field.name != name) continue;
      std::size_t n = std::min(value.size(), static_cast<std::size_t>(field.width));
      std::memcpy(record.data() + field.offset, value.data(), n);
    }
  }
  std::string bytes = archive.header;
  bytes[4] = 1;
  bytes[5] = bytes[6] = bytes[7] = 0;
  return bytes + record + '\x1A';
}

// A fresh output table every so often, so that it stays small.
void RecreateOutputIfDue(World& world) {
  if (world.output.Active() && world.recordsInOutput < 500) return;
  world.output.Close();
  velt::CreateOutputTable(world.output, world.outputPath);
  world.recordsInOutput = 0;
  world.session.nativesCounter = 1;
  world.session.externalsCounter = 1;
  // The event log grows by a line for each failed group.
  std::error_code ec;
  fs::remove(velt::State().logFilePath, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  World& world = TheWorld();
  const std::vector<std::string_view> lines = velt::fuzz::Lines(velt::fuzz::Bytes(data, size));
  const Options options = ReadOptions(lines.empty() ? std::string_view() : lines.front());
  const Archive& layout = options.layoutB ? world.layoutB : world.layoutA;
  velt::fuzz::WriteFile(world.archivePath, ArchiveBytes(layout, lines));
  RecreateOutputIfDue(world);

  velt::RunSession& session = world.session;
  session.stationCode = options.station;
  session.inputFileName = "F1232401.DBF";
  Table archive("VELTDBF");
  archive.SetOEMTranslate(!options.ansi);
  archive.SetTableName(world.archivePath);
  archive.Open();
  archive.First();
  if (archive.Eof()) velt::fuzz::Fail("the archive's record is not visible");
  const int region = velt::StrToIntDef(velt::Copy(archive.TextView(archive.FieldIndex("SMO")), 1, 2), 0);
  const bool native = region == 74 || region <= 0;
  const int before = world.output.PhysicalCount();
  try {
    session.archive.Resolve(archive);
    session.archive.Load();
    velt::ConvertCallRecord(session, world.output, native);
  } catch (const velt::Error&) {
    // A failure outside the guarded groups leaves the record unposted.
    if (world.output.Modified()) world.output.Cancel();
  }
  const int added = world.output.PhysicalCount() - before;
  if (added < 0 || added > 1) velt::fuzz::Fail("one call gave more than one record");
  world.recordsInOutput += added;
  return 0;
}
