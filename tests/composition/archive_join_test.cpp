// Joining archive tables: the order and structure, progress, every failure
// with its message and the empty table it leaves, a joined archive that
// converts like its parts, and the join command's exit statuses.
#include "composition/archive_join.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <new>

#include "cli/command_line.h"
#include "conversion/conversion_run.h"
#include "reference/test_tables.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support_files/fake_run_host.h"
#include "support_files/temp_dir.h"
#include "table/table.h"

namespace velt::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSampleApp = std::string(VELT_SOURCE_DIR) + "/data/sample/app";
const std::string kSample123 = std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F1232401.DBF";
const std::string kSample672 = std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F6721703.DBF";
constexpr int kRecords123 = 390;
constexpr int kRecords672 = 292;

std::string Cancelled() { return A(" Склеивание файлов отменено."); }

// Records what the join shows; can act between the copy and the count of an
// entry.
class FakeHost : public JoinHost {
 public:
  void ShowProgress(int position) override {
    visible = true;
    positions.push_back(position);
  }
  void HideProgress() override { visible = false; }
  void Checkpoint() override { ++events; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void NameMissing() override { nameMissing = true; }
  void Joined(const std::string& outputPath) override { joined = outputPath; }
  void EntryAppended(const std::string& entry) override {
    appended.push_back(entry);
    if (afterAppend) afterAppend(entry);
  }

  std::vector<std::string> messages;
  std::vector<int> positions;
  bool visible = false;
  int events = 0;
  bool nameMissing = false;
  std::string joined;
  std::vector<std::string> appended;
  std::function<void(const std::string&)> afterAppend;
};

int CountOf(const std::string& path) {
  Table t;
  t.SetTableName(path);
  t.Open();
  return t.Count();
}

std::vector<std::string> FieldNames(const std::string& path) {
  Table t;
  t.SetTableName(path);
  t.Open();
  std::vector<std::string> names;
  for (const FieldInfo& f : t.Fields()) names.push_back(f.name);
  return names;
}

bool HasField(const std::string& path, const std::string& name) {
  auto names = FieldNames(path);
  return std::find(names.begin(), names.end(), name) != names.end();
}

class ArchiveJoinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.Path() + "app/in");
    DerivePaths(State(), dir_.Path() + "app", "veltconv");
  }

  // A copy of a sample archive under a new path (folders made as needed).
  std::string Copy(const std::string& sample, const std::string& relative) {
    std::string path = dir_.File(relative);
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(sample, path);
    return path;
  }
  std::string Output(const std::string& name) const {
    return State().appDir + "in" + platform::PathSeparator() + name;
  }
  // The second line of a failure's message once the joined table was begun.
  std::string Kept(const std::string& name) const {
    return "\n" + A("Прежний файл ") + Output(name) + A(" не изменён; начатый файл оставлен пустым: ") +
           Output(name) + ".partial.";
  }

  TempDir dir_;
  FakeHost host_;
};

TEST_F(ArchiveJoinTest, OrdersPathsIgnoringLetterCaseAndRoundsProgressHalfToEven) {
  std::vector<std::string> entries = {A("/д/Б.DBF"), "/b/F1.DBF", A("/Д/а.dbf"), "/B/e.dbf", "/a/Z.DBF"};
  SortIgnoringCase(entries);
  EXPECT_EQ(entries,
            (std::vector<std::string>{"/a/Z.DBF", "/B/e.dbf", "/b/F1.DBF", A("/Д/а.dbf"), A("/д/Б.DBF")}));
  EXPECT_TRUE(EqualIgnoringCase(A("/Путь/f.dbf"), A("/пУТЬ/F.DBF")));
  EXPECT_FALSE(EqualIgnoringCase("/a/f.dbf", "/a/f.dbf "));

  EXPECT_EQ(JoinProgress(1, 2), 52);  // 52.5
  EXPECT_EQ(JoinProgress(2, 2), 100);
  EXPECT_EQ(JoinProgress(1, 3), 37);
  EXPECT_EQ(JoinProgress(2, 3), 68);
  EXPECT_EQ(JoinProgress(1, 38), 8);   // 7.5
  EXPECT_EQ(JoinProgress(3, 38), 12);  // 12.5

  EXPECT_EQ(JoinedFilePath(A(" \tF1232401.DBF  ")), Output("F1232401.DBF"));
  // A name without an extension gets the one the archive dialogs show.
  EXPECT_EQ(JoinedFilePath("F1232401 "), Output("F1232401.DBF"));
  EXPECT_EQ(JoinedFilePath("F1232401.dbf"), Output("F1232401.dbf"));
  EXPECT_EQ(JoinedFilePath("  "), Output(""));
}

TEST_F(ArchiveJoinTest, AnEmptyNameTurnsTheLabelRedWithoutAMessageAndAnEmptyListIsRefused) {
  std::vector<std::string> entries = {Copy(kSample123, "a/F1232401.DBF")};
  EXPECT_EQ(JoinArchives(entries, "", host_), JoinOutcome::NameMissing);
  EXPECT_TRUE(host_.nameMissing);
  EXPECT_TRUE(host_.messages.empty());
  // Checks before the join show no progress behind them.
  EXPECT_TRUE(host_.positions.empty());
  EXPECT_FALSE(host_.visible);
  EXPECT_TRUE(fs::is_empty(dir_.Path() + "app/in"));

  host_ = FakeHost();
  EXPECT_EQ(JoinArchives({}, "X.DBF", host_), JoinOutcome::NoEntries);
  EXPECT_EQ(host_.messages, std::vector<std::string>{A("Не выбраны файлы для склеивания")});
  EXPECT_TRUE(host_.positions.empty());

  // Blanks alone are a name; the path they give is the folder itself.
  host_.messages.clear();
  EXPECT_EQ(JoinArchives(entries, "   ", host_), JoinOutcome::CannotCreate);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0], A("Невозможно создать файл ") + Output("") + A(" или занят файл ") +
                                   entries[0] + "." + Cancelled());
}

TEST_F(ArchiveJoinTest, JoinsInListOrderWithTheFirstEntrysStructure) {
  std::vector<std::string> entries = {Copy(kSample672, "b/F6721703.DBF"), Copy(kSample123, "A/F1232401.DBF")};
  SortIgnoringCase(entries);
  ASSERT_EQ(entries[0], dir_.File("A/F1232401.DBF"));

  EXPECT_EQ(JoinArchives(entries, A(" f1232401.dbf "), host_), JoinOutcome::Joined);
  const std::string out = Output("f1232401.dbf");
  EXPECT_EQ(host_.joined, out);
  EXPECT_EQ(host_.messages,
            std::vector<std::string>{
                A("Склеивание файлов успешно завершено. Выходной файл находится по пути ") + out});
  EXPECT_EQ(host_.positions, (std::vector<int>{5, 52, 100}));
  EXPECT_EQ(host_.events, 3);
  EXPECT_FALSE(host_.visible);
  EXPECT_EQ(FieldNames(out), FieldNames(entries[0]));
  EXPECT_FALSE(HasField(out, "NPOLIS"));  // a field of the second archive only

  // Records in list order, text as it was; the joined table is closed.
  Table joined;
  joined.SetOEMTranslate(true);
  joined.SetTableName(out);
  joined.SetExclusive(true);
  joined.Open();
  EXPECT_EQ(joined.Count(), kRecords123 + kRecords672);
  Table first, second;
  for (Table* t : {&first, &second}) t->SetOEMTranslate(true);
  first.SetTableName(entries[0]);
  second.SetTableName(entries[1]);
  first.Open();
  second.Open();
  joined.First();
  EXPECT_EQ(joined.FieldByName("FAM").AsString(), first.FieldByName("FAM").AsString());
  joined.GoTo(kRecords123 + 1);
  EXPECT_EQ(joined.FieldByName("FAM").AsString(), second.FieldByName("FAM").AsString());
  EXPECT_EQ(joined.FieldByName("NGOD").AsString(), second.FieldByName("NGOD").AsString());
}

TEST_F(ArchiveJoinTest, ProgressForThreeTablesAndTablesWithDeletedRecords) {
  std::vector<std::string> entries = {Copy(kSample123, "a/F1.DBF"), Copy(kSample123, "a/F2.DBF"),
                                      Copy(kSample123, "a/F3.DBF")};
  {
    Table t;
    t.SetTableName(entries[1]);
    t.SetExclusive(true);
    t.Open();
    t.First();
    t.Delete();
    t.Delete();
  }
  EXPECT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::Joined);
  EXPECT_EQ(host_.positions, (std::vector<int>{5, 37, 68, 100}));
  EXPECT_EQ(CountOf(Output("J.DBF")), 3 * kRecords123 - 2);
  EXPECT_EQ(host_.appended, entries);
}

TEST_F(ArchiveJoinTest, AnEntryDeletedAfterListingLeavesAnEmptyPartialTableAndTheEarlierOne) {
  std::vector<std::string> entries = {Copy(kSample123, "a/F1.DBF"), Copy(kSample123, "a/F2.DBF")};
  ASSERT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::Joined);
  host_ = FakeHost();
  fs::remove(entries[1]);
  EXPECT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::EntryMissing);
  EXPECT_EQ(host_.appended, std::vector<std::string>{entries[0]});  // the first was copied
  EXPECT_EQ(host_.messages,
            std::vector<std::string>{A("Нет доступа к файлу ") + entries[1] + A("или он не существует.") +
                                     Cancelled() + Kept("J.DBF")});
  EXPECT_EQ(CountOf(Output("J.DBF")), 2 * kRecords123);
  EXPECT_EQ(CountOf(Output("J.DBF.partial")), 0);
  EXPECT_EQ(FieldNames(Output("J.DBF.partial")), FieldNames(entries[0]));
  EXPECT_FALSE(host_.visible);
  EXPECT_EQ(host_.positions, (std::vector<int>{5, 52}));
}

// A cancel, and an error that no step expects, end the join like its
// failures: the earlier joined table kept, the begun one empty and named.
TEST_F(ArchiveJoinTest, ACancelOrAnUnexpectedErrorKeepsTheEarlierTableAndSaysSo) {
  std::vector<std::string> entries = {Copy(kSample123, "a/F1.DBF"), Copy(kSample123, "a/F2.DBF")};
  ASSERT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::Joined);
  host_ = FakeHost();
  host_.afterAppend = [&](const std::string&) { host_.Cancel().Request(); };
  EXPECT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::Cancelled);
  EXPECT_EQ(host_.appended, std::vector<std::string>{entries[0]});
  EXPECT_EQ(host_.messages, std::vector<std::string>{A("Склеивание файлов отменено.") + Kept("J.DBF")});
  EXPECT_EQ(CountOf(Output("J.DBF")), 2 * kRecords123);
  EXPECT_EQ(CountOf(Output("J.DBF.partial")), 0);
  EXPECT_FALSE(host_.visible);

  // Requested before the start: not one record is copied.
  host_ = FakeHost();
  host_.Cancel().Request();
  EXPECT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::Cancelled);
  EXPECT_TRUE(host_.appended.empty());

  host_ = FakeHost();
  host_.afterAppend = [](const std::string&) { throw std::bad_alloc(); };
  EXPECT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::Failed);
  EXPECT_EQ(host_.messages,
            std::vector<std::string>{A("Склеивание файлов прервано ошибкой: недостаточно памяти.") +
                                     Kept("J.DBF")});
  EXPECT_EQ(CountOf(Output("J.DBF")), 2 * kRecords123);
  EXPECT_EQ(CountOf(Output("J.DBF.partial")), 0);
  EXPECT_FALSE(host_.visible);
}

TEST_F(ArchiveJoinTest, ACountThatDisagreesEmptiesTheJoinedTable) {
  // A station program appends a call to the second archive while it is joined.
  std::vector<std::string> entries = {Copy(kSample123, "a/F1.DBF"), Copy(kSample123, "a/F2.DBF")};
  host_.afterAppend = [&](const std::string& entry) {
    if (entry != entries[1]) return;
    Table t;
    t.SetTableName(entry);
    t.Open();
    t.Append();
    t.FieldByName("NGOD").SetString("99999");
    t.Post();
  };
  EXPECT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::CountMismatch);
  EXPECT_EQ(host_.messages, std::vector<std::string>{A("Не сходится суммарное кол-во записей всех файлов. "
                                                       "Обратитесь к специалистам службы поддержки ЗЕЛАН.") +
                                                     Kept("J.DBF")});
  EXPECT_TRUE(host_.joined.empty());
  EXPECT_FALSE(fs::exists(Output("J.DBF")));
  EXPECT_EQ(CountOf(Output("J.DBF.partial")), 0);
  EXPECT_FALSE(host_.visible);
}

TEST_F(ArchiveJoinTest, AMissingInFolderIsNotCreated) {
  fs::remove(dir_.Path() + "app/in");
  std::vector<std::string> entries = {Copy(kSample123, "a/F1.DBF")};
  EXPECT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::CannotCreate);
  EXPECT_EQ(host_.messages,
            std::vector<std::string>{A("Невозможно создать файл ") + Output("J.DBF") + A(" или занят файл ") +
                                     entries[0] + "." + Cancelled() + A("\nПапка ") + State().appDir + "in" +
                                     platform::PathSeparator() + A(": не найдена.")});
  EXPECT_FALSE(fs::exists(dir_.Path() + "app/in"));
  EXPECT_FALSE(host_.visible);
}

TEST_F(ArchiveJoinTest, AJoinThatLosesTheRaceForItsTableSaysSoInRussian) {
  // Another join into the same table holds its partial file from creation
  // to rename.
  std::vector<std::string> entries = {Copy(kSample123, "a/F1.DBF")};
  platform::File other;
  ASSERT_EQ(other.Open(Output("J.DBF.partial"), platform::File::Mode::CreateTruncate,
                       platform::File::Lock::Exclusive),
            platform::OpenResult::Ok);
  EXPECT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::CannotCreate);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_NE(
      host_.messages[0].find(Cancelled() + A("\nФайл ") + Output("J.DBF.partial") +
                             A(": занят другой программой: в этот же файл сейчас идёт другое склеивание")),
      std::string::npos)
      << AnsiToUtf8(host_.messages[0]);
  EXPECT_FALSE(fs::exists(Output("J.DBF")));
  EXPECT_FALSE(host_.visible);
}

TEST_F(ArchiveJoinTest, AJoinedTableNamingOneOfItsSourcesIsRefusedAndTheSourceKept) {
  std::vector<std::string> entries = {Copy(kSample123, "a/F1.DBF"), Copy(kSample123, "app/in/F2.DBF")};
  EXPECT_EQ(JoinArchives(entries, "F2.DBF", host_), JoinOutcome::CannotCreate);
  EXPECT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(CountOf(entries[1]), kRecords123);
  // The same file reached through another spelling of its path.
  host_.messages.clear();
  entries[1] = dir_.Path() + "app/in/../in/F2.DBF";
  EXPECT_EQ(JoinArchives(entries, "F2.DBF", host_), JoinOutcome::CannotCreate);
  EXPECT_EQ(CountOf(entries[1]), kRecords123);
}

TEST_F(ArchiveJoinTest, ASourceThatCannotBeReadOrIsNoTableStopsTheJoin) {
  std::vector<std::string> entries = {Copy(kSample123, "a/F1.DBF"), Copy(kSample123, "a/F2.DBF")};
  {
    // Held exclusively by another program: the copy cannot open it.
    Table holder;
    holder.SetTableName(entries[1]);
    holder.SetExclusive(true);
    holder.Open();
    EXPECT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::AppendFailed);
  }
  EXPECT_EQ(host_.messages, std::vector<std::string>{A("Не удалось перенести записи из файла ") + entries[1] +
                                                     A(" в выходной файл.") + Cancelled() + Kept("J.DBF")});
  EXPECT_EQ(CountOf(Output("J.DBF.partial")), 0);
  EXPECT_FALSE(host_.visible);

  // Not a dBase table at all: the copy raises an error; the bar stays.
  host_.messages.clear();
  host_ = FakeHost();
  ASSERT_TRUE(platform::WriteWholeFile(entries[1], "not a table, just some text of no use"));
  EXPECT_EQ(JoinArchives(entries, "J.DBF", host_), JoinOutcome::BadStructure);
  EXPECT_EQ(host_.messages,
            std::vector<std::string>{A("Неверная структура файла ") + entries[1] +
                                     A(", добавить его невозможно.") + Cancelled() + Kept("J.DBF")});
  EXPECT_EQ(CountOf(Output("J.DBF.partial")), 0);
  EXPECT_TRUE(host_.visible);
  EXPECT_EQ(host_.positions, (std::vector<int>{5, 52}));
}

TEST_F(ArchiveJoinTest, AFirstEntryThatCannotBeOpenedRaisesTheEnginesError) {
  std::vector<std::string> entries = {dir_.File("gone/F1.DBF"), Copy(kSample123, "a/F2.DBF")};
  EXPECT_THROW(JoinArchives(entries, "J.DBF", host_), Error);
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(host_.visible);
  EXPECT_FALSE(fs::exists(Output("J.DBF")));
}

// ---- A joined archive converts like its parts

std::uint32_t Le(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Writes records [from, to) of a dBase file as a table of their own.
void WritePart(const std::string& bytes, std::uint32_t from, std::uint32_t to, const std::string& path) {
  const std::uint32_t header = Le(bytes, 8, 2), length = Le(bytes, 10, 2);
  std::string part = bytes.substr(0, header);
  const std::uint32_t count = to - from;
  std::memcpy(part.data() + 4, &count, 4);  // little-endian host
  part += bytes.substr(header + from * length, (to - from) * length);
  part += '\x1A';
  fs::create_directories(fs::path(path).parent_path());
  ASSERT_TRUE(platform::WriteWholeFile(path, part));
}

// Every record of a table as its field texts, N_ZAP left out.
std::vector<std::vector<std::string>> RecordsOf(const std::string& path) {
  std::vector<std::vector<std::string>> records;
  if (!fs::exists(path)) return records;
  Table t;
  t.SetTableName(path);
  t.Open();
  const int skip = t.FieldIndex("N_ZAP");
  for (t.First(); !t.Eof(); t.Next()) {
    std::vector<std::string>& r = records.emplace_back();
    for (int i = 0; i < t.FieldCount(); ++i)
      if (i != skip) r.push_back(t.AsString(i));
  }
  return records;
}

TEST(JoinedArchiveConversion, ConvertsLikeItsPartsOneAfterAnother) {
  TempDir dir;
  fs::copy(kSampleApp, dir.Path() + "app", fs::copy_options::recursive);
  fs::create_directories(dir.Path() + "app/in");
  DerivePaths(State(), dir.Path() + "app", "veltconv");
  State().inputCodePage = "OEM";
  // Two halves of one month's archive, each under the archive's own name.
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(kSample123, bytes));
  const std::string partA = dir.File("partA/F1232401.DBF"), partB = dir.File("partB/F1232401.DBF");
  WritePart(bytes, 0, 150, partA);
  WritePart(bytes, 150, kRecords123, partB);

  FakeHost joinHost;
  ASSERT_EQ(JoinArchives({partA, partB}, "F1232401.DBF", joinHost), JoinOutcome::Joined);

  RunTables tables;
  testing::FakeRunHost host;
  for (const char* folder : {"outA", "outB", "outJ"}) fs::create_directories(dir.Path() + folder);
  EXPECT_EQ(RunConversion(tables, host, partA, dir.Path() + "outA").outcome, RunOutcome::Completed);
  EXPECT_EQ(RunConversion(tables, host, partB, dir.Path() + "outB").outcome, RunOutcome::Completed);
  EXPECT_EQ(RunConversion(tables, host, joinHost.joined, dir.Path() + "outJ").outcome, RunOutcome::Completed);

  for (const char* prefix : {"t", "te"}) {
    SCOPED_TRACE(prefix);
    const std::string name = std::string(prefix) + "F1232401.DBF";
    auto expected = RecordsOf(dir.Path() + "outA/" + name);
    auto second = RecordsOf(dir.Path() + "outB/" + name);
    expected.insert(expected.end(), second.begin(), second.end());
    auto joined = RecordsOf(dir.Path() + "outJ/" + name);
    EXPECT_FALSE(joined.empty());
    EXPECT_EQ(joined.size(), expected.size());
    EXPECT_TRUE(joined == expected);
  }
}

// ---- The join command

int RunJoin(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"veltconv", "join"});
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  return RunCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST_F(ArchiveJoinTest, TheJoinCommandJoinsInTheWindowsOrderWithItsExitStatuses) {
  const std::string app = dir_.Path() + "app";
  const std::string a = Copy(kSample672, "y/F6721703.DBF"), b = Copy(kSample123, "x/F1232401.DBF");

  // Listed in any order, joined sorted: the 123 archive gives the structure.
  // A path given twice (in another letter case) is refused and left out.
  std::string upper = a;
  for (char& c : upper) c = UpperChar(c);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunJoin({"--name", "F1232401.DBF", "--app-dir", app, a, b, upper}), 0);
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(
      told.ends_with(AnsiToUtf8(A("Склеивание файлов успешно завершено. Выходной файл находится по пути ") +
                                Output("F1232401.DBF")) +
                     "\n"))
      << told;
  EXPECT_EQ(CountOf(Output("F1232401.DBF")), kRecords123 + kRecords672);
  EXPECT_TRUE(HasField(Output("F1232401.DBF"), "SPOL"));
  EXPECT_FALSE(HasField(Output("F1232401.DBF"), "NPOLIS"));

  EXPECT_EQ(RunJoin({"--name", "J.DBF", "--app-dir", dir_.Path() + "nowhere", a}), 1);  // no "in" folder
  EXPECT_EQ(RunJoin({"--name", "", "--app-dir", app, a}), 1);
  EXPECT_EQ(RunJoin({"--app-dir", app, a}), 2);                                         // no name
  EXPECT_EQ(RunJoin({"--name", "J.DBF", "--app-dir", app}), 2);                         // no file
  EXPECT_EQ(RunJoin({"--name", "J.DBF", "--app-dir", app, dir_.File("gone.DBF")}), 3);  // engine error
}

}  // namespace
}  // namespace velt::testing
