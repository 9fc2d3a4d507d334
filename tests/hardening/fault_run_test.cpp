// Conversion runs that meet a failing medium: an output folder that refuses
// writing or is missing, a disk that fills up in the middle of a run, an
// event log that cannot be written, a mapping table the editor holds. After
// each the user is told what went wrong, no table is left open or half
// written, and the next run works.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "conversion/conversion_run.h"
#include "reference/test_tables.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support_files/fake_run_host.h"
#include "support_files/temp_dir.h"

namespace velt::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSampleApp = std::string(VELT_SOURCE_DIR) + "/data/sample/app";
const std::string kSampleArchive = std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F1232401.DBF";
// Home-region calls of the sample archive that reach the "t" table.
constexpr int kSampleNatives = 273;

// The byte layout of a table file: the header's count must describe whole
// records that the file holds, followed by the end mark and nothing else.
void ExpectWholeTable(const std::string& path, int expectedRecords = -1) {
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(path, bytes)) << path;
  ASSERT_GE(bytes.size(), 32u) << path;
  auto u16 = [&](int at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  const std::size_t count = u16(4) | u16(6) << 16;
  const std::size_t header = u16(8);
  const std::size_t length = u16(10);
  EXPECT_EQ(bytes.size(), header + count * length + 1) << path;
  EXPECT_EQ(bytes.back(), '\x1A') << path;
  if (expectedRecords >= 0) {
    EXPECT_EQ(count, static_cast<std::size_t>(expectedRecords)) << path;
  }
  Table table;
  table.SetTableName(path);
  table.Open();
  EXPECT_EQ(table.PhysicalCount(), static_cast<int>(count)) << path;
}

class FaultRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(kSampleApp, dir_.Path() + "app", fs::copy_options::recursive);
    fs::create_directories(Out());
    fs::copy(kSampleArchive, archive_);
    DerivePaths(State(), dir_.Path() + "app", "veltconv");
    State().inputCodePage = "OEM";
  }
  void TearDown() override { platform::SetFaultHooks({}); }

  std::string Out() const { return dir_.Path() + "out"; }
  std::string Natives() const { return Out() + "/tF1232401.DBF"; }
  RunSummary Run() { return RunConversion(tables_, host_, archive_, Out()); }

  // The run raised an error with this text in it.
  std::string RunExpectingError() {
    try {
      Run();
    } catch (const Error& error) {
      return error.what();
    }
    ADD_FAILURE() << "the run ended without an error";
    return {};
  }

  // What every ended run leaves: the window usable and nothing held open.
  void ExpectReleased() {
    EXPECT_TRUE(host_.menuEnabled);
    EXPECT_FALSE(host_.barVisible);
    EXPECT_FALSE(tables_.VELTDBF.Active());
    EXPECT_FALSE(tables_.OutNatives.Active());
    EXPECT_FALSE(tables_.OutExternals.Active());
    // No reference table is held: each opens for sole use.
    for (const char* name : {"dirstrans/tr_from.dbf", "dirstrans/tr_lpu.dbf", "pavkdirs/street.dbf"}) {
      Table table;
      table.SetTableName(State().appDir + name);
      table.SetExclusive(true);
      EXPECT_NO_THROW(table.Open()) << name;
    }
  }

  // With the fault gone the next run converts the whole archive.
  void ExpectASecondRunWorks() {
    platform::SetFaultHooks({});
    RunSummary summary = Run();
    EXPECT_EQ(summary.outcome, RunOutcome::Completed);
    EXPECT_EQ(summary.nativesWritten, kSampleNatives);
    ExpectWholeTable(Natives(), kSampleNatives);
  }

  TempDir dir_;
  std::string archive_ = dir_.File("F1232401.DBF");
  RunTables tables_;
  testing::FakeRunHost host_;
};

TEST_F(FaultRunTest, OutputFolderThatRefusesWritingOrIsMissing) {
  // A read-only medium (we run as root, so the hook plays it) is found
  // before the first record: nothing begun, the folder named.
  platform::FaultHooks readOnly;
  readOnly.denyWriteOpen = [&](const std::string& path) { return path.starts_with(Out()); };
  platform::SetFaultHooks(readOnly);
  EXPECT_EQ(Run().outcome, RunOutcome::EndedEarly);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0], A("Таблицы результатов нельзя записать в папку вывода.\nПапка ") + Out() +
                                   A(": нельзя записать: носитель только для чтения."));
  EXPECT_EQ(host_.status, A("Конвертация отменена"));
  ExpectReleased();
  EXPECT_TRUE(fs::is_empty(Out()));  // the probe file is gone too
  ExpectASecondRunWorks();

  // Only the other-region table refused: the run ends at its first record,
  // naming that file in Russian instead of the table layer's English.
  platform::FaultHooks oneFile;
  oneFile.denyWriteOpen = [&](const std::string& path) { return path.starts_with(Out() + "/te"); };
  platform::SetFaultHooks(oneFile);
  fs::remove(Out() + "/teF1232401.DBF");
  std::string error = RunExpectingError();
  EXPECT_NE(error.find(A("Таблицу результатов нельзя записать.\nФайл ") + Out() + "/teF1232401.DBF.partial"),
            std::string::npos)
      << error;
  EXPECT_EQ(error.find("closed dataset"), std::string::npos) << error;
  EXPECT_NE(error.find(A("Запись архива № ")), std::string::npos) << error;
  ExpectReleased();
  ExpectASecondRunWorks();

  // The folder removed between the choice and the run.
  fs::remove_all(Out());
  host_.messages.clear();
  EXPECT_EQ(Run().outcome, RunOutcome::EndedEarly);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_NE(host_.messages[0].find(A(": не найдена.")), std::string::npos);
  ExpectReleased();
  fs::create_directories(Out());
  ExpectASecondRunWorks();
}

TEST_F(FaultRunTest, DiskFullInTheMiddleOfATable) {
  // The disk fills up at the 100th record of the home-region table (a
  // header of 98 fields, records of 1236 bytes, the end mark); the header's
  // count stays at the 99 whole records before it.
  constexpr std::uint64_t kFullAt = 32 + 98 * 32 + 1 + 99 * 1236 + 1;
  platform::FaultHooks full;
  full.writeFault = [&](const std::string& path, std::uint64_t offset, std::size_t length) {
    return platform::FileNamePart(path) == "tF1232401.DBF.partial" && offset + length > kFullAt;
  };
  platform::SetFaultHooks(full);
  std::string error = RunExpectingError();
  EXPECT_NE(error.find("Unable to write table: " + Natives() + ".partial"), std::string::npos) << error;
  EXPECT_NE(error.find(A(".partial: нельзя записать: диск заполнен.\nЗапись архива № ")), std::string::npos)
      << error;
  ExpectReleased();
  ExpectWholeTable(Natives() + ".partial", 99);
  ExpectWholeTable(Out() + "/teF1232401.DBF.partial");
  ExpectASecondRunWorks();
}

TEST_F(FaultRunTest, EventLogThatCannotBeWritten) {
  // The log refuses its first line, a line in the middle of the record loop
  // (a failed field group), and the end line.
  for (int failingLine : {1, 20, 0}) {
    SCOPED_TRACE(failingLine);
    int lines = 0;
    platform::FaultHooks hooks;
    hooks.writeFault = [&](const std::string& path, std::uint64_t, std::size_t) {
      if (path != State().logFilePath) return false;
      ++lines;
      bool endLine = tables_.VELTDBF.Active() && tables_.VELTDBF.Eof();
      return failingLine == 0 ? endLine : lines >= failingLine;
    };
    platform::SetFaultHooks(hooks);
    std::string error = RunExpectingError();
    EXPECT_NE(error.find(A("Не удалось записать в журнал событий ") + ShownPath(State().logFilePath)),
              std::string::npos)
        << error;
    EXPECT_NE(error.find(A("диск заполнен")), std::string::npos) << error;
    EXPECT_EQ(host_.status, A("Конвертация отменена"));
    ExpectReleased();
    if (platform::FileExists(Natives() + ".partial")) {
      ExpectWholeTable(Natives() + ".partial");
    }
    ExpectASecondRunWorks();
  }
}

// In the manner of SQLite's I/O error tests: over the sample run, the Nth
// write of each output table, the Nth write of the event log and the Nth
// read of the archive fail, for every N up to the first run that meets no
// fault. After each the tables of an earlier run are as they were, the
// partial ones are whole tables, the file is named, and the next run works.
TEST_F(FaultRunTest, SweepOfEveryFailingWriteAndRead) {
  ASSERT_EQ(Run().outcome, RunOutcome::Completed);
  const std::string externals = Out() + "/teF1232401.DBF";
  // Bytes 1..3 are the day of the last update.
  auto content = [](const std::string& path) {
    std::string bytes;
    platform::ReadWholeFile(path, bytes);
    return bytes.size() < 4 ? bytes : bytes.substr(0, 1) + bytes.substr(4);
  };
  const std::string earlierNatives = content(Natives()), earlierExternals = content(externals);
  struct Target {
    std::string path;
    bool read;
  };
  for (const Target& target : {Target{Natives() + ".partial", false}, Target{externals + ".partial", false},
                               Target{State().logFilePath, false}, Target{archive_, true}}) {
    int faults = 0;
    for (int n = 1;; ++n) {
      SCOPED_TRACE(target.path + " #" + std::to_string(n));
      int seen = 0;
      bool failed = false;
      auto fault = [&](const std::string& path, std::uint64_t, std::size_t) {
        if (path != target.path || ++seen != n) return false;
        return failed = true;
      };
      platform::FaultHooks hooks;
      (target.read ? hooks.readFault : hooks.writeFault) = fault;
      platform::SetFaultHooks(hooks);
      host_.messages.clear();
      host_.warnings.clear();
      std::string told;
      RunOutcome outcome = RunOutcome::EndedEarly;
      try {
        outcome = Run().outcome;
      } catch (const Error& error) {
        told = error.what();
      }
      platform::SetFaultHooks({});
      if (!failed) {
        EXPECT_EQ(outcome, RunOutcome::Completed);
        break;
      }
      ++faults;
      for (const std::string& message : host_.messages) told += message;
      // Named as the operator would type it: the separator after a folder once.
      EXPECT_NE(told.find(ShownPath(target.path)), std::string::npos) << told << static_cast<int>(outcome);
      ExpectReleased();
      EXPECT_EQ(content(Natives()), earlierNatives);
      EXPECT_EQ(content(externals), earlierExternals);
      for (const std::string& partial : {Natives() + ".partial", externals + ".partial"}) {
        if (platform::FileExists(partial)) ExpectWholeTable(partial);
      }
      ExpectASecondRunWorks();
    }
    EXPECT_GT(faults, 0) << target.path;
  }
}

TEST_F(FaultRunTest, MappingTableHeldByTheEditor) {
  // The mapping editor holds its table exclusively while it is open.
  Table editor;
  editor.SetTableName(State().mappingDirPath + "/tr_rslt.dbf");
  editor.SetExclusive(true);
  editor.Open();
  RunSummary summary = Run();
  EXPECT_EQ(summary.outcome, RunOutcome::EndedEarly);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(
      host_.messages[0],
      A("Не выполнена перекодировка классификаторов. Выполните ее согласно инструкции к программе\nФайл ") +
          dir_.Path() + A("app/dirstrans/tr_rslt.dbf: занят другой программой, закройте её."));
  std::string log;
  platform::ReadWholeFile(State().logFilePath, log);
  EXPECT_NE(log.find(A("Ошибка создания индексов. Конвертация отменена\r\n")), std::string::npos);
  ExpectReleased();
  EXPECT_FALSE(platform::FileExists(Natives()));
  editor.Close();
  ExpectASecondRunWorks();
}

}  // namespace
}  // namespace velt::testing
