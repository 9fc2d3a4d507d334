// A whole conversion run over an archive whose header and deletion flags the
// fuzzer writes: the sample archive's first records under a header with any
// record count, header and record length and field descriptors, and any
// byte as each record's deletion flag. The file stays small, whatever its
// header claims; the run must end (libFuzzer's -timeout watches that),
// release everything it opened and leave whole output tables.
//
// Input: byte 0 the options (bit 0: ANSI code page; bits 1 to 3: the event
// at which the host presses "cancel", 0 never), bytes 1 to 8 header bytes
// 4 to 11 (count, header length, record length), then one deletion flag
// per record, then the bytes of the field descriptors from header byte 32.
// Bytes the input lacks keep the sample's values.
#include <algorithm>
#include <filesystem>
#include <string>

#include "conversion/conversion_run.h"
#include "fuzz_support.h"
#include "support/error.h"
#include "support/run_state.h"
#include "table/table.h"

namespace {

namespace fs = std::filesystem;
using velt::Table;

constexpr std::size_t kRecords = 12;

class FuzzHost : public velt::RunHost {
 public:
  void Checkpoint() override {
    if (++events == cancelAtEvent) Cancel().Request();
  }
  void SetMappingMenuEnabled(bool) override {}
  void ShowProgress(bool, int position) override {
    if (position < 0 || position > 100) velt::fuzz::Fail("a progress position out of 0..100");
  }
  void SetStatus(const std::string&) override {}
  void ShowMessage(const std::string&) override {}
  void Warn(const std::string&) override {}

  int events = 0;
  int cancelAtEvent = 0;
};

struct World {
  std::string archivePath;
  std::string outputDir;
  std::string sample;  // header and the first kRecords records, end mark after them
  std::size_t headerLength = 0;
  std::size_t recordLength = 0;
  velt::RunTables tables;
  int runs = 0;
};

std::size_t U16(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) |
         static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

World& TheWorld() {
  static World* world = [] {
    auto* w = new World;
    const std::string root = velt::fuzz::ScratchDir();
    fs::copy(std::string(VELT_SOURCE_DIR) + "/data/sample/app", root + "app", fs::copy_options::recursive);
    velt::DerivePaths(velt::State(), root + "app", "veltconv");
    fs::create_directories(root + "archive");
    fs::create_directories(root + "out");
    w->archivePath = root + "archive/F1232401.DBF";
    w->outputDir = root + "out";
    const std::string sample =
        velt::fuzz::ReadFile(std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F1232401.DBF");
    w->headerLength = U16(sample, 8);
    w->recordLength = U16(sample, 10);
    w->sample = sample.substr(0, w->headerLength + kRecords * w->recordLength) + '\x1A';
    return w;
  }();
  return *world;
}

// The sample's bytes with the input's written over the header and the flags.
std::string ArchiveBytes(const World& world, std::string_view input) {
  std::string bytes = world.sample;
  auto take = [&](std::size_t n) {
    std::string_view part = input.substr(0, std::min(n, input.size()));
    input.remove_prefix(part.size());
    return part;
  };
  take(1);  // the options
  std::string_view header = take(8);
  std::copy(header.begin(), header.end(), bytes.begin() + 4);
  std::string_view flags = take(kRecords);
  for (std::size_t r = 0; r < flags.size(); ++r)
    bytes[world.headerLength + r * world.recordLength] = flags[r];
  std::string_view descriptors = take(world.headerLength - 32);
  std::copy(descriptors.begin(), descriptors.end(), bytes.begin() + 32);
  return bytes;
}

// Whole records under a header that counts them, the end mark after them.
void CheckWholeTable(const std::string& path) {
  if (!fs::exists(path)) return;
  const std::string bytes = velt::fuzz::ReadFile(path);
  if (bytes.size() < 32) velt::fuzz::Fail("a cut output header: " + path);
  const std::size_t count = U16(bytes, 4) | U16(bytes, 6) << 16;
  if (bytes.size() != U16(bytes, 8) + count * U16(bytes, 10) + 1 || bytes.back() != '\x1A')
    velt::fuzz::Fail("an output table that is not whole: " + path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  World& world = TheWorld();
  const std::string_view input = velt::fuzz::Bytes(data, size);
  velt::fuzz::WriteFile(world.archivePath, ArchiveBytes(world, input));
  // The event log grows by the run's lines.
  if (++world.runs % 200 == 0) fs::remove(velt::State().logFilePath);

  const unsigned options = input.empty() ? 0 : static_cast<unsigned char>(input[0]);
  velt::RunState& state = velt::State();
  state.inputCodePage = (options & 1) != 0 ? "ANSI" : "OEM";
  FuzzHost host;
  host.cancelAtEvent = static_cast<int>((options >> 1) & 7);
  velt::RunSummary summary;
  try {
    summary = velt::RunConversion(world.tables, host, world.archivePath, world.outputDir);
  } catch (const velt::Error&) {
    // An error no rule handles ends the run; what it wrote stays whole.
  }

  for (Table* table : {&world.tables.VELTDBF, &world.tables.OutNatives, &world.tables.OutExternals})
    if (table->Active()) velt::fuzz::Fail("the run left " + table->ObjectName() + " open");
  std::int64_t held = 0;  // records as the table layer reads the file
  try {
    Table archive;
    archive.SetTableName(world.archivePath);
    archive.Open();
    held = archive.PhysicalCount();
  } catch (const velt::Error&) {
  }
  if (summary.recordsRead + summary.damaged > held)
    velt::fuzz::Fail("the run visited more records than the file holds");
  if (summary.nativesWritten + summary.externalsWritten > summary.recordsRead)
    velt::fuzz::Fail("more records written than read");
  CheckWholeTable(world.outputDir + "/tF1232401.DBF");
  CheckWholeTable(world.outputDir + "/teF1232401.DBF");
  return 0;
}
