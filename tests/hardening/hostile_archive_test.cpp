// Archives built to hurt: a header that counts 2^32 - 1 records of a sparse
// file, records whose deletion flag is neither blank nor '*', two fields of
// one name, a call number with a line break in it. None of them may hang
// the run, pass as a clean success or break the event log's lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "conversion/conversion_run.h"
#include "reference/test_tables.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support_files/fake_run_host.h"
#include "support_files/temp_dir.h"

namespace velt::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSampleApp = std::string(VELT_SOURCE_DIR) + "/data/sample/app";
const std::string kSampleArchive = std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F1232401.DBF";
constexpr int kSampleRecords = 390;

std::size_t U16(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) |
         static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

class HostileArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(kSampleApp, dir_.Path() + "app", fs::copy_options::recursive);
    fs::create_directories(Out());
    DerivePaths(State(), dir_.Path() + "app", "veltconv");
    State().inputCodePage = "OEM";
    ASSERT_TRUE(platform::ReadWholeFile(kSampleArchive, sample_));
  }

  std::string Out() const { return dir_.Path() + "out"; }
  // The bytes as an archive of its own folder, so that its name stays F1232401.DBF.
  std::string Write(const std::string& folder, const std::string& bytes) {
    fs::create_directories(dir_.File(folder));
    const std::string path = dir_.File(folder + "/F1232401.DBF");
    EXPECT_TRUE(platform::WriteWholeFile(path, bytes));
    return path;
  }
  RunSummary Run(const std::string& archive) { return RunConversion(tables_, host_, archive, Out()); }
  // Where record `recno`'s bytes start in the sample.
  std::size_t RecordAt(int recno) const { return U16(sample_, 8) + (recno - 1) * U16(sample_, 10); }

  TempDir dir_;
  RunTables tables_;
  testing::FakeRunHost host_;
  std::string sample_;
};

TEST_F(HostileArchiveTest, NeitherHangsNorPassesAsACleanSuccessNorBreaksTheLog) {
  {
    SCOPED_TRACE("2^32 - 1 records of one two-byte field in a sparse file: the count walk sees the cancel");
    std::string header(65, '\0');
    header[0] = 0x03;
    header[4] = header[5] = header[6] = header[7] = '\xFF';
    header[8] = 65;
    header[10] = 3;
    header.replace(32, 3, "SMO");
    header[43] = 'C';
    header[48] = 2;
    header[64] = '\x0D';
    const std::string huge = Write("huge", header);
    fs::resize_file(huge, 65 + 0xFFFFFFFFull * 3);
    Table table;
    table.SetTableName(huge);
    table.Open();
    EXPECT_EQ(table.PhysicalCount(), 0xFFFFFFFFll);
    table.Close();
    EXPECT_EQ(ProgressStepFor(0xFFFFFFFFll), 42949674);

    host_.cancelAtEvent = 2;  // after the start line, the next one comes from the count walk
    RunSummary summary = Run(huge);
    EXPECT_EQ(summary.outcome, RunOutcome::Cancelled);
    EXPECT_EQ(summary.recordsRead, 0);
    EXPECT_TRUE(fs::is_empty(Out()));
    fs::remove(huge);
    host_.Cancel().Clear();  // the next run of this host starts uncancelled
  }
  {
    SCOPED_TRACE("deletion flags NUL, D, 0xFF, CR and a stray end mark");
    std::string bytes = sample_;
    const std::vector<std::pair<int, char>> flags = {
        {3, '\0'}, {5, 'D'}, {7, '\xFF'}, {8, '\r'}, {9, '\x1A'}};
    for (auto [recno, flag] : flags) bytes[RecordAt(recno)] = flag;
    host_.warnings.clear();
    RunSummary summary = Run(Write("damaged", bytes));
    EXPECT_EQ(summary.outcome, RunOutcome::Completed);
    EXPECT_EQ(summary.damaged, 5);
    EXPECT_EQ(summary.firstDamaged, 3);
    EXPECT_EQ(summary.recordsRead, kSampleRecords - 5);
    ASSERT_EQ(host_.warnings.size(), 1u);
    EXPECT_NE(host_.warnings[0].find(A("повреждённых записей: 5, первая из них — запись № 3")),
              std::string::npos);
    std::string log;
    platform::ReadWholeFile(State().logFilePath, log);
    EXPECT_NE(log.find(host_.warnings[0] + "\r\n"), std::string::npos);
  }
  {
    SCOPED_TRACE("two fields of one name");
    std::string bytes = sample_;
    std::size_t smo = bytes.find(std::string("SMO\0", 4), 32);
    ASSERT_LT(smo, U16(bytes, 8));
    std::size_t other = 32 + ((smo - 32) / 32 == 0 ? 32 : 0);  // the first descriptor, or the second
    bytes.replace(other, 11, std::string("smo\0\0\0\0\0\0\0\0", 11));
    host_.messages.clear();
    RunSummary summary = Run(Write("twice", bytes));
    EXPECT_EQ(summary.outcome, RunOutcome::EndedEarly);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_NE(host_.messages[0].find(A("Поле SMO встречается в таблице дважды")), std::string::npos);
    EXPECT_TRUE(host_.messages[0].starts_with(A("Закройте все открытые файлы DBF\nФайл ")));
  }
  {
    SCOPED_TRACE("a call number with CR LF in it");
    Table probe;
    probe.SetTableName(kSampleArchive);
    probe.Open();
    const FieldInfo& ngod = probe.Field(probe.FieldIndex("NGOD"));
    std::string bytes = sample_;
    bytes.replace(RecordAt(1) + ngod.offset, 4, "7\r\n0");
    fs::remove(State().logFilePath);
    Run(Write("crlf", bytes));
    std::string log;
    platform::ReadWholeFile(State().logFilePath, log);
    EXPECT_NE(log.find(A(" Вызов №7  0: ")), std::string::npos);
    const std::regex stamped("\\d\\d\\.\\d\\d\\.\\d{4}, \\d\\d:\\d\\d:\\d\\d\\. [^\\r\\n]*");
    std::size_t start = 0;
    for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2)
      EXPECT_TRUE(std::regex_match(log.substr(start, end - start), stamped))
          << log.substr(start, end - start);
    EXPECT_EQ(start, log.size());
  }
}

}  // namespace
}  // namespace velt::testing
