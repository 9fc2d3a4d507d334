#include "conversion/special_conditions.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "conversion/record_fixture.h"
#include "conversion/record_groups.h"

namespace velt {
namespace {

using testing::A;
using testing::At;
using testing::Day;

TEST(StageMoment, StageTimesAfterTheCallStartAcrossMidnight) {
  const DateTime start = At(Day(2017, 3, 5), 23, 50);
  EXPECT_EQ(StageMoment("23:55", start), At(Day(2017, 3, 5), 23, 55));
  EXPECT_EQ(StageMoment("00:05", start), At(Day(2017, 3, 6), 0, 5));
  // The very moment of the call start is not before it.
  EXPECT_EQ(StageMoment("23:50", start), start);
  EXPECT_EQ(StageMoment(" 0-05", start), At(Day(2017, 3, 6), 0, 5));
  for (const char* none : {"25:00", "", "12:60", "ab:cd", "7:05", "-1:00"}) {
    EXPECT_EQ(StageMoment(none, start), 0.0) << none;
  }
}

TEST(FormatMinuteStamp, FourDigitYearAndTwoDigitPartsWithoutSeconds) {
  EXPECT_EQ(FormatMinuteStamp(At(Day(2017, 3, 5), 14, 7)), "2017-03-05T14:07");
  EXPECT_EQ(FormatMinuteStamp(At(Day(2016, 12, 31), 23, 59)), "2016-12-31T23:59");
  EXPECT_EQ(FormatMinuteStamp(At(Day(2017, 3, 6), 0, 0) + 59.0 / 86400), "2017-03-06T00:00");
  EXPECT_EQ(FormatMinuteStamp(At(Day(987, 1, 2), 3, 4)), "0987-01-02T03:04");
}

class SpecialConditionsTest : public testing::RecordTest {
 protected:
  DateTime Date(Out field) const { return output_.AsDateTime(static_cast<int>(field)); }
};

TEST_F(SpecialConditionsTest, HospitalisationDateIsWrittenForEveryCall) {
  const DateTime day = Day(2017, 3, 5);
  struct Case {
    const char* tprm;
    const char* tsta;
    DateTime spDate;
  };
  for (const Case& c : {Case{"23:40", "", day}, Case{"23:40", "00:30", day + 1}, Case{"00:10", "23:30", day},
                        Case{"ab:cd", "00:30", day}, Case{"23:40", "24:30", day}}) {
    Record({{"TPRM", c.tprm}, {"TSTA", c.tsta}});
    ctx_->dateBegWritten = true;
    ctx_->dateBeg = day;
    HospitalisationDateGroup(*ctx_);
    EXPECT_EQ(Date(Out::SP_DATE), c.spDate) << c.tprm << " " << c.tsta;
  }
  // No call date: the zero date, even past midnight.
  Record({{"TPRM", "23:40"}, {"TSTA", "00:30"}});
  HospitalisationDateGroup(*ctx_);
  EXPECT_EQ(Text(Out::SP_DATE), "30.12.1899");
}

TEST_F(SpecialConditionsTest, ReceivingInstitutionSwitchesFieldsAt2017) {
  Mapping("tr_lpu", {{A("Больница 1"), 12}});
  struct Case {
    DateTime dateEnd;
    bool blankEnd;
    Out filled;
    Out empty;
  };
  for (const Case& c : {Case{Day(2016, 12, 31), false, Out::LPU_FROM, Out::LPU_TO},
                        Case{Day(2017, 1, 1), false, Out::LPU_TO, Out::LPU_FROM},
                        Case{0, true, Out::LPU_FROM, Out::LPU_TO}}) {
    Record({{"KUDA", A("Больница 1")}});
    if (!c.blankEnd) ctx_->dateEnd = c.dateEnd;
    ReceivingInstitutionGroup(*ctx_);
    EXPECT_EQ(Text(c.filled), "12");
    EXPECT_TRUE(Blank(c.empty));
  }
  // An institution the table does not know writes 0 over the address group's value.
  Record({{"KUDA", A("Дом")}});
  out_.Integer(Out::LPU_FROM, 7);
  ctx_->dateEnd = Day(2016, 6, 1);
  ReceivingInstitutionGroup(*ctx_);
  EXPECT_EQ(Text(Out::LPU_FROM), "0");
}

class ReasonTest : public SpecialConditionsTest {
 protected:
  void SetUp() override {
    SpecialConditionsTest::SetUp();
    Mapping("tr_reas", {{"10", 99}, {"1", 1}, {"2", 3}});
    Mapping("tr_reas1", {{"5", 5}, {"9", 99}, {"1", 1}});
    Mapping("tr_trag", {{"5", 4}, {"9", 99}});
    Mapping("tr_vid", {{"1", 2}});
    Mapping("tr_from", {{"3", 6}});
  }
  // The reason and injury kind groups for a call of this reason and injury.
  void Reason(const char* povd, const char* trav, const char* kilo = "") {
    Record({{"POVD", povd}, {"TRAV", trav}, {"POVT", "1"}, {"MEST", "4"}, {"TSTA", "12:30"}, {"KILO", kilo}});
    ReasonGroup(*ctx_);
    InjuryKindGroup(*ctx_);
  }
};

TEST_F(ReasonTest, ReasonMappedTo99IsDecidedByTheInjury) {
  Reason("10", "5");
  EXPECT_EQ(Text(Out::SP_REAS), "5");
  EXPECT_TRUE(Blank(Out::SP_TRAG));

  Reason("10", "9");
  EXPECT_EQ(ctx_->reasonCode, 0);
  EXPECT_TRUE(Blank(Out::SP_REAS));

  // Through the injury the reason may still become a trauma call.
  Reason("10", "1");
  EXPECT_EQ(Text(Out::SP_REAS), "1");
  EXPECT_EQ(Text(Out::SP_TRAG), "11");

  Reason("7", "5");
  EXPECT_EQ(ctx_->reasonCode, 0);
  EXPECT_TRUE(Blank(Out::SP_REAS));
  EXPECT_TRUE(Blank(Out::SP_TRAG));
}

TEST_F(ReasonTest, TraumaCallsCarryTheirInjuryKind) {
  Reason("1", "5");
  EXPECT_EQ(Text(Out::SP_REAS), "1");
  EXPECT_EQ(Text(Out::SP_TRAG), "4");
  Reason("1", "77");
  EXPECT_EQ(Text(Out::SP_TRAG), "11");
  Reason("1", "9");
  EXPECT_TRUE(Blank(Out::SP_TRAG));
  Reason("2", "5");
  EXPECT_EQ(Text(Out::SP_REAS), "3");
  EXPECT_TRUE(Blank(Out::SP_TRAG));
}

TEST_F(ReasonTest, KindPlaceTimeAndDistance) {
  Reason("2", "", "12");
  EXPECT_EQ(Text(Out::SP_VID), "2");
  EXPECT_EQ(Text(Out::SP_FROM), "0");
  EXPECT_EQ(Text(Out::SP_TIME), "12:30");
  EXPECT_EQ(Text(Out::SP_KM), "12");
  for (const char* kilo : {"", "12km", "1.5"}) {
    Reason("2", "", kilo);
    EXPECT_EQ(Text(Out::SP_KM), "0") << kilo;
  }
  // Too far for the field: the record cannot be posted.
  Reason("2", "", "10000");
  EXPECT_TRUE(out_.OutOfBounds());
}

class RegistryTest : public SpecialConditionsTest {
 protected:
  void SetUp() override {
    SpecialConditionsTest::SetUp();
    Reference("f002", {{{"SMOCOD", "45001", "C", 5}, {"TF_OKATO", "45000", "C", 5}}});
  }
};

TEST_F(RegistryTest, OtherRegionRecordsCarryMonthAndInsurerRegion) {
  const std::string known = A("45001 СК Надежда");
  Record({{"SMO", known}}, false);
  RegistryGroup(*ctx_);
  EXPECT_EQ(Text(Out::NREESTR), "3");
  EXPECT_EQ(Text(Out::OKATO_OMS), "45000");
  EXPECT_TRUE(Blank(Out::SMO_NAM));

  const std::string unknown = A("46002 Другая СК");
  Record({{"SMO", unknown}}, false);
  RegistryGroup(*ctx_);
  EXPECT_TRUE(Blank(Out::OKATO_OMS));
  EXPECT_EQ(Text(Out::SMO_NAM), unknown);

  Record({{"SMO", ""}}, false);
  RegistryGroup(*ctx_);
  EXPECT_EQ(Text(Out::NREESTR), "3");
  EXPECT_TRUE(Blank(Out::OKATO_OMS));
  EXPECT_TRUE(Blank(Out::SMO_NAM));

  // Home-region records never carry these fields.
  Record({{"SMO", known}}, true);
  RegistryGroup(*ctx_);
  EXPECT_TRUE(Blank(Out::NREESTR));
  EXPECT_TRUE(Blank(Out::OKATO_OMS));
  EXPECT_TRUE(Blank(Out::SMO_NAM));
}

TEST_F(RegistryTest, MonthDigitsAndFailedLookup) {
  session_.inputFileName = "F10117XY.DBF";
  Record({{"SMO", "45001"}}, false);
  RegistryGroup(*ctx_);
  EXPECT_EQ(Text(Out::NREESTR), "0");

  session_.inputFileName = "12.DBF";
  Record({{"SMO", "45001"}}, false);
  RegistryGroup(*ctx_);
  EXPECT_EQ(Text(Out::NREESTR), "12");

  // A lookup that fails is silent and falls back to the insurer's text.
  session_.tables.Release(Lookup::f002);
  Record({{"SMO", "45001 X"}}, false);
  EXPECT_NO_THROW(RegistryGroup(*ctx_));
  EXPECT_EQ(Text(Out::SMO_NAM), "45001 X");
  EXPECT_TRUE(Blank(Out::OKATO_OMS));
}

TEST_F(SpecialConditionsTest, RecordNumbersFileTypeAndDoctor) {
  for (int expected : {1, 2}) {
    Record({{"DOKT", A("петров ё.")}}, true);
    RecordNumberGroup(*ctx_);
    FileTypeGroup(*ctx_);
    DoctorGroup(*ctx_);
    EXPECT_EQ(Text(Out::N_ZAP), std::to_string(expected));
    EXPECT_EQ(Text(Out::FILE_TYPE), "04");
    EXPECT_EQ(Text(Out::DOCTOR), A("ПЕТРОВ Ё."));
  }
  // Each table counts on its own.
  Record({{"DOKT", ""}}, false);
  RecordNumberGroup(*ctx_);
  FileTypeGroup(*ctx_);
  EXPECT_EQ(Text(Out::N_ZAP), "1");
  EXPECT_EQ(Text(Out::FILE_TYPE), "14");
  EXPECT_EQ(session_.nativesCounter, 3);
  EXPECT_EQ(session_.externalsCounter, 2);
}

TEST_F(SpecialConditionsTest, FormOfCareFromPriority) {
  for (const auto& [priority, form] :
       {std::pair{"6", "2"}, {"7", "2"}, {" 7", "2"}, {"5", "1"}, {"", "1"}, {"x", "1"}, {"67", "1"}}) {
    Record({{"PRTY", priority}});
    FormOfCareGroup(*ctx_);
    EXPECT_EQ(Text(Out::FOR_POM), form) << priority;
  }
  Record({{"NGOD", "1"}});
  EXPECT_TRUE(testing::Failed([&] { return FormOfCareGroup(*ctx_); }));
  EXPECT_TRUE(Blank(Out::FOR_POM));
}

TEST_F(SpecialConditionsTest, StageTimesOnlyForAValidCallStart) {
  Record({{"TPER", "23:55"}, {"VYEZ", "00:05"}, {"PRZD", "25:00"}, {"TGSP", ""}});
  ctx_->callStartValid = true;
  ctx_->callStart = At(Day(2017, 3, 5), 23, 50);
  StageTimesGroup(*ctx_);
  EXPECT_EQ(Text(Out::SP_DT1), "2017-03-05T23:55");
  EXPECT_EQ(Text(Out::SP_DT2), "2017-03-06T00:05");
  EXPECT_TRUE(Blank(Out::SP_DT3));
  EXPECT_TRUE(Blank(Out::SP_DT4));

  Record({{"TPER", "23:55"}, {"VYEZ", "00:05"}, {"PRZD", "00:10"}, {"TGSP", "00:20"}});
  StageTimesGroup(*ctx_);
  for (Out field : {Out::SP_DT1, Out::SP_DT2, Out::SP_DT3, Out::SP_DT4}) EXPECT_TRUE(Blank(field));
}

TEST_F(SpecialConditionsTest, Station672ReportsEndOfCallForResult4) {
  auto call = [&](int station, int result) {
    session_.stationCode = station;
    Record({{"NGOD", "1"}, {"DS1", "I21.0"}});
    // What the earlier groups left.
    out_.Text(Out::COD_MKB0, "R50");
    ctx_->result = result;
    ctx_->timeEndWritten = true;
    std::copy_n("00:20", 5, ctx_->timeEnd);
    ctx_->dateEnd = Day(2017, 3, 6);
    out_.Text(Out::SP_TIME, "23:59");
    out_.Date(Out::SP_DATE, Day(2017, 3, 5));
    Station672Group(*ctx_);
  };
  call(672, 4);
  EXPECT_EQ(Text(Out::COD_MKB0), "I21.0");
  EXPECT_EQ(Text(Out::SP_TIME), "00:20");
  EXPECT_EQ(Date(Out::SP_DATE), Day(2017, 3, 6));

  call(672, 3);
  EXPECT_EQ(Text(Out::COD_MKB0), "I21.0");
  EXPECT_EQ(Text(Out::SP_TIME), "23:59");
  EXPECT_EQ(Date(Out::SP_DATE), Day(2017, 3, 5));

  call(673, 4);
  EXPECT_EQ(Text(Out::COD_MKB0), "R50");
  EXPECT_EQ(Text(Out::SP_TIME), "23:59");
}

}  // namespace
}  // namespace velt
