// One call of another region's patient converted end to end: every one of
// the 98 output fields compared with what the conversion rules give.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "conversion/output_layout.h"
#include "conversion/record_converter.h"
#include "conversion/record_fixture.h"
#include "support/platform.h"

namespace velt {
namespace {

using testing::A;
using testing::Cell;

class FullRecordTest : public testing::RecordTest {
 protected:
  void SetUp() override {
    RecordTest::SetUp();
    session_.inputFileName = "F1011612.DBF";
    Reference(
        "city",
        {{{"NAME", A("Новоград"), "C", 40}, {"CODE", "74000001000", "C", 11}, {"SOCR", A("г"), "C", 10}}});
    Reference(
        "street",
        {{{"NAME", A("Ленина"), "C", 40}, {"CODE", "740000010000123", "C", 17}, {"SOCR", A("ул"), "C", 10}}});
    Reference("f002", {{{"SMOCOD", "45001", "C", 5}, {"TF_OKATO", "45000", "C", 5}}});
    Reference("lpu", {{{"NPP", "101", "N", 4}, {"CATEGORY", "2", "N", 1}, {"ADRESS", "", "C", 100}}});
    Reference("tarif", {{{"COD_SPEC", "1439", "N", 4},
                         {"CATEGORY", "2", "N", 1},
                         {"PLACE", "20", "N", 2},
                         {"PURPOSE", "03", "C", 2},
                         {"TARIF", "1234.56", "N", 10, 2},
                         {"DATE_TAR", "01.01.2016", "D", 8}}});
    Mapping("tr_rslt", {{"1", 3}});
    Mapping("tr_lpu", {{A("ГКБ 8"), 12}});
    Mapping("tr_reas", {{"1", 1}});
    Mapping("tr_reas1", {{"5", 7}});
    Mapping("tr_trag", {{"5", 4}});
    Mapping("tr_vid", {{"1", 2}});
    Mapping("tr_from", {{"3", 6}});
  }
};

TEST_F(FullRecordTest, EveryOutputFieldOfOneCall) {
  const std::string archive = dir_.File("F1011612.DBF");
  // clang-format off
  testing::WriteRows(archive, {{
      {"PROF", A("Л")}, {"SPOL", "1234 5678 9012 3456"}, {"FAM", A("иванов")}, {"IMYA", A("пётр")},
      {"OTCH", A("иванович")}, {"KOD1", "05.03.1980"}, {"POL", A("М")}, {"TDOKUM", "14"},
      {"NDOKUM", "75 02 123456"}, {"SNILS", "123-456-789 64"}, {"CITY", A("=Новоград")},
      {"ULIC", A("ул. Ленина")}, {"DOM", A("12а")}, {"KVAR", "5"}, {"SMO", A("45001 СК Надежда"), "C", 40},
      {"NUMV", "123#"}, {"NGOD", "4567"}, {"DPRM", "161231"}, {"TPRM", "23:50"}, {"TISP", "00:20"},
      {"DSHS", "R50"}, {"DS1", "I21.0|"}, {"REZL", "1"}, {"ISHOD", "402", "N", 3}, {"PRFB", A("Ф")},
      {"TSTA", "00:30"}, {"KUDA", A("ГКБ 8")}, {"POVD", "1"}, {"TRAV", "5"}, {"POVT", "1"}, {"MEST", "3"},
      {"KILO", "12"}, {"DOKT", A("петров")}, {"PRTY", "6"}, {"TPER", "23:52"}, {"VYEZ", "23:55"},
      {"PRZD", "00:10"}, {"TGSP", "00:40"}}});
  // clang-format on
  input_.SetOEMTranslate(true);
  input_.SetTableName(archive);
  input_.Open();
  input_.First();
  session_.archive.Resolve(input_);
  session_.archive.Load();
  const std::string outputPath = dir_.File("teF1011612.DBF");
  CreateOutputTable(output_, outputPath);
  ConvertCallRecord(session_, output_, false);
  output_.Close();

  // clang-format off
  const std::map<std::string, std::string> expected = {
      {"VPOLIC", "3"}, {"NUMBER", "1234567890123456"}, {"FAMILY", A("ИВАНОВ")}, {"NAME", A("ПЁТР")},
      {"FATHER", A("ИВАНОВИЧ")}, {"DATE", "05.03.1980"}, {"SEX", "1"}, {"DOCTYPE", "14"},
      {"DOCSER", "75 02"}, {"DOCNUM", "123456"}, {"SNILS", "12345678964"}, {"NOVOR", "0"},
      {"CITYSTREET", "740000010000123"}, {"HOUSE", "12"}, {"IND_HOUSE", A("А")}, {"ROOM", "5"},
      {"COD_LPU", "101"}, {"COD_SMO", "45001"}, {"NHISTORY", "123"}, {"PLACE", "20"}, {"PURPOSE", "03"},
      {"COD_SPEC", "1439"}, {"TARIF", "1234.56"}, {"DATE_TAR", "01.01.2016"}, {"DATE_BEG", "31.12.2016"},
      {"TIME_BEG", "23:50"}, {"DATE_END", "01.01.2017"}, {"TIME_END", "00:20"}, {"COD_MKB0", "R50"},
      {"COD_MKB", "I21.0"}, {"RSLT", "3"}, {"ISHOD", "2"}, {"VIDPOM", "2"}, {"KVAL", A("Ф")},
      {"SP_REAS", "1"}, {"SP_VID", "2"}, {"SP_BRIG", "18"}, {"SP_FROM", "6"}, {"SP_DATE", "01.01.2017"},
      {"SP_TIME", "00:30"}, {"SP_KM", "12"}, {"NREESTR", "12"}, {"OKATO_OMS", "45000"}, {"N_ZAP", "1"},
      {"FILE_TYPE", "14"}, {"DOCTOR", A("ПЕТРОВ")}, {"FOR_POM", "2"}, {"SP_TRAG", "4"},
      {"SP_DT1", "2016-12-31T23:52"}, {"SP_DT2", "2016-12-31T23:55"}, {"SP_DT3", "2017-01-01T00:10"},
      {"SP_DT4", "2017-01-01T00:40"}, {"LPU_TO", "12"}};
  // clang-format on

  Table written;
  written.SetOEMTranslate(true);
  written.SetTableName(outputPath);
  written.Open();
  ASSERT_EQ(written.Count(), 1);
  written.First();
  ASSERT_EQ(written.FieldCount(), kOutputFieldCount);
  for (int i = 0; i < kOutputFieldCount; ++i) {
    const std::string name = kOutputLayout[i].name;
    const auto want = expected.find(name);
    EXPECT_EQ(written.AsString(i), want == expected.end() ? "" : want->second) << name;
  }
  written.Close();

  // Nothing of this call failed, so nothing was logged about it.
  std::string log;
  platform::ReadWholeFile(State().logFilePath, log);
  EXPECT_EQ(log.find(A("Вызов")), std::string::npos) << log;
  EXPECT_EQ(session_.externalsCounter, 2);
  EXPECT_EQ(session_.nativesCounter, 1);
}

}  // namespace
}  // namespace velt
