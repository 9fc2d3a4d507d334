#include "conversion/call_timing.h"

#include <gtest/gtest.h>

#include "conversion/record_fixture.h"
#include "conversion/record_groups.h"

namespace velt {
namespace {

using testing::A;
using testing::At;
using testing::Cell;
using testing::Day;
using testing::Failed;
using testing::TableRow;

class CallTimingTest : public testing::RecordTest {
 protected:
  RecordContext& Call(const std::string& dprm, const std::string& tprm, const std::string& tisp = "") {
    return Record({{"NGOD", "1"}, {"DPRM", dprm}, {"TPRM", tprm}, {"TISP", tisp}});
  }
  // The call date, call time, call start, end time and end date as the
  // record converter runs them, failures of the guarded ones swallowed.
  void Timing(RecordContext& ctx) {
    RunGuarded(ctx, std::string(), [&] { CallDateGroup(ctx); });
    RunGuarded(ctx, std::string(), [&] { CallTimeGroup(ctx); });
    CallStartStep(ctx);
    EndTimeGroup(ctx);
    RunGuarded(ctx, std::string(), [&] { EndDateGroup(ctx); });
  }
  double Number(Out field) const { return output_.AsFloat(static_cast<int>(field)); }
  DateTime Date(Out field) const { return output_.AsDateTime(static_cast<int>(field)); }
};

TEST_F(CallTimingTest, CallDateIsReadAsYearMonthDay) {
  RecordContext& ctx = Call("170305", "");
  CallDateGroup(ctx);
  EXPECT_TRUE(ctx.callStartValid);
  EXPECT_EQ(Date(Out::DATE_BEG), Day(2017, 3, 5));

  // 30 February converts number by number but names no day.
  RecordContext& february = Call("170230", "");
  EXPECT_TRUE(Failed([&] { return CallDateGroup(february); }));
  EXPECT_FALSE(february.callStartValid);
  EXPECT_TRUE(Blank(Out::DATE_BEG));

  RecordContext& letters = Call("17Ma05", "");
  EXPECT_TRUE(Failed([&] { return CallDateGroup(letters); }));
  EXPECT_FALSE(letters.callStartValid);

  RecordContext& missing = Record({{"NGOD", "1"}});
  missing.callStartValid = true;
  EXPECT_TRUE(Failed([&] { return CallDateGroup(missing); }));
  EXPECT_FALSE(missing.callStartValid);
}

TEST_F(CallTimingTest, CallTimeTakesCharactersOneToTwoAndFourToFive) {
  for (const char* tprm : {" 7:05", "07-05", "07:05"}) {
    RecordContext& ctx = Call("170305", tprm);
    ctx.callStartValid = true;
    CallTimeGroup(ctx);
    EXPECT_EQ(Text(Out::TIME_BEG), "07:05") << tprm;
    EXPECT_EQ(ctx.startHour, 7) << tprm;
    EXPECT_TRUE(ctx.callStartValid) << tprm;
  }

  // Without the leading blank the hour is "7:".
  RecordContext& shortHour = Call("170305", "7:05");
  shortHour.callStartValid = true;
  EXPECT_TRUE(Failed([&] { return CallTimeGroup(shortHour); }));
  EXPECT_FALSE(shortHour.callStartValid);
  EXPECT_TRUE(Blank(Out::TIME_BEG));
  EXPECT_EQ(shortHour.startHour, 0);

  // The hour is kept once it converted, even when the minute then fails.
  RecordContext& badMinute = Call("170305", "12:ab");
  EXPECT_TRUE(Failed([&] { return CallTimeGroup(badMinute); }));
  EXPECT_EQ(badMinute.startHour, 12);
  EXPECT_TRUE(Blank(Out::TIME_BEG));

  // Out-of-day values are written as they are.
  RecordContext& late = Call("170305", "25:00");
  CallTimeGroup(late);
  EXPECT_EQ(Text(Out::TIME_BEG), "25:00");
  EXPECT_EQ(late.startHour, 25);
}

TEST_F(CallTimingTest, CallStartJoinsTheCallDateAndTime) {
  RecordContext& ctx = Call("170305", "23:50");
  Timing(ctx);
  EXPECT_TRUE(ctx.callStartValid);
  EXPECT_EQ(ctx.callStart, At(Day(2017, 3, 5), 23, 50));
}

TEST_F(CallTimingTest, CallTimeOutsideTheDayEndsTheRunOnlyWithAValidDate) {
  for (const char* tprm : {"24:00", "12:60", "-1:05"}) {
    RecordContext& ctx = Call("170305", tprm);
    CallDateGroup(ctx);
    CallTimeGroup(ctx);
    EXPECT_THROW(CallStartStep(ctx), Error) << tprm;
  }
  EXPECT_EQ(Text(Out::TIME_BEG), "-1:05");

  RecordContext& invalidDate = Call("170230", "24:00");
  EXPECT_NO_THROW(Timing(invalidDate));
  EXPECT_FALSE(invalidDate.callStartValid);
  EXPECT_EQ(Text(Out::TIME_BEG), "24:00");
}

TEST_F(CallTimingTest, EndTimeIsCopiedAsTypedWhenItHoldsAnHour) {
  struct Case {
    const char* tisp;
    const char* timeEnd;
    int endHour;
  };
  for (const Case& c : {Case{"00:20", "00:20", 0}, Case{" 7.05", " 7:05", 7}, Case{"0020", "", 25},
                        Case{"ab:cd", "", 25}, Case{"-0:01", "", 25}, Case{"", "", 25}}) {
    RecordContext& ctx = Call("170305", "10:00", c.tisp);
    ctx.endHour = 3;
    EndTimeGroup(ctx);
    EXPECT_EQ(Text(Out::TIME_END), c.timeEnd) << c.tisp;
    EXPECT_EQ(ctx.endHour, c.endHour) << c.tisp;
  }
}

TEST_F(CallTimingTest, EndDateMovesToTheNextDayOnlyPastMidnight) {
  const DateTime day = Day(2017, 3, 5);
  Timing(Call("170305", "23:50", "00:20"));
  EXPECT_EQ(Date(Out::DATE_END), day + 1);
  Timing(Call("170305", "00:10", "23:59"));
  EXPECT_EQ(Date(Out::DATE_END), day);
  Timing(Call("170305", "23:50", "0020"));
  EXPECT_EQ(Date(Out::DATE_END), day);
  EXPECT_TRUE(Blank(Out::TIME_END));
  // An unconverted call hour counts as 0: nothing ends before it.
  Timing(Call("170305", "ab:00", "23:00"));
  EXPECT_EQ(Date(Out::DATE_END), day);
  // Within the same hour, or after a call hour outside the day, the date stays.
  Timing(Call("170305", "10:30", "10:05"));
  EXPECT_EQ(Date(Out::DATE_END), day);
  Timing(Call("170305", "25:xx", "00:20"));
  EXPECT_EQ(Date(Out::DATE_END), day);

  // A failed call date gives the zero date, which is written.
  Timing(Call("170230", "23:50", "00:20"));
  EXPECT_TRUE(Blank(Out::DATE_BEG));
  EXPECT_FALSE(Blank(Out::DATE_END));
  EXPECT_EQ(Date(Out::DATE_END), 0.0);
  EXPECT_EQ(Text(Out::DATE_END), "30.12.1899");
}

TEST_F(CallTimingTest, ResultIsRecodedAndOutcomeShiftedBy400) {
  Mapping("tr_rslt", {{"1", 3}});
  Record({{"REZL", "1"}, {"ISHOD", "401"}});
  ResultGroup(*ctx_);
  EXPECT_EQ(Text(Out::RSLT), "3");
  EXPECT_EQ(Text(Out::ISHOD), "1");

  // An unknown result writes 0; outcomes 0, empty or not a number write nothing.
  for (const char* outcome : {"0", "", "4o1", "-401"}) {
    Record({{"REZL", "7"}, {"ISHOD", outcome}});
    ResultGroup(*ctx_);
    EXPECT_EQ(Text(Out::RSLT), "0");
    EXPECT_TRUE(Blank(Out::ISHOD)) << outcome;
  }
  Record({{"REZL", "1"}});
  ResultGroup(*ctx_);
  EXPECT_TRUE(Blank(Out::ISHOD));

  Record({{"REZL", "1"}, {"ISHOD", "402", "N", 3}});
  ResultGroup(*ctx_);
  EXPECT_EQ(Text(Out::ISHOD), "2");

  // An outcome below 391 does not fit the output and the record cannot be posted.
  Record({{"REZL", "1"}, {"ISHOD", "390"}});
  ResultGroup(*ctx_);
  EXPECT_TRUE(out_.OutOfBounds());
}

void ExpectBrigade(const std::string& prof, const std::string& prfb, int spec, const std::string& kval,
                   int kind) {
  Brigade brigade = ResolveBrigade(prof, prfb);
  EXPECT_EQ(brigade.spec, spec) << "PROF '" << prof << "' PRFB '" << prfb << "'";
  EXPECT_EQ(brigade.kval, kval) << "PROF '" << prof << "' PRFB '" << prfb << "'";
  EXPECT_EQ(brigade.kind, kind) << "PROF '" << prof << "' PRFB '" << prfb << "'";
}

TEST(ResolveBrigade, BrigadeLetterGivesSpecialtyAndQualification) {
  const std::string doctors = A("АДЕКЛНПРБТ");
  const int specs[] = {1439, 1445, 1441, 1440, 1439, 1443, 1442, 1444, 1439, 1439};
  for (std::size_t i = 0; i < doctors.size(); ++i)
    ExpectBrigade("", doctors.substr(i, 1), specs[i], A("В"), 17);
  ExpectBrigade("", A("Ф"), 1439, A("Ф"), 18);
  ExpectBrigade("", A("Х"), 9999, "9", 0);
  ExpectBrigade("", A("Я"), 9999, "9", 0);
  // Only the first character after the leading blanks counts.
  ExpectBrigade("", A("  КЛ "), 1440, A("В"), 17);
  // A known qualification is never replaced by the profile's.
  ExpectBrigade(A("Ф"), A("Л"), 1439, A("В"), 17);
  ExpectBrigade(A("Л"), A("Х"), 9999, "9", 0);
}

TEST(ResolveBrigade, ProfileLetterLendsOnlyItsQualification) {
  // An empty brigade letter is the blank row: specialty 1439, no qualification.
  ExpectBrigade("", "", 1439, "", 0);
  ExpectBrigade(A("Ф"), "", 1439, A("Ф"), 18);
  ExpectBrigade(A(" Д"), "  ", 1439, A("В"), 17);
  // Letters outside the table (lower case, Latin) give no specialty.
  ExpectBrigade(A("Ф"), A("л"), 0, A("Ф"), 18);
  ExpectBrigade(A("Я"), "L", 0, "9", 0);
  ExpectBrigade("Q", "L", 0, "", 0);
}

TEST_F(CallTimingTest, BrigadeSpecialtyFromTheArchiveWinsOverTheLetter) {
  Record({{"PROF", ""}, {"PRFB", A("Л")}});
  BrigadeGroup(*ctx_);
  EXPECT_EQ(Text(Out::COD_SPEC), "1439");
  EXPECT_EQ(Text(Out::KVAL), A("В"));
  EXPECT_EQ(Text(Out::SP_BRIG), "17");

  Record({{"PROF", ""}, {"PRFB", A("Ф")}, {"COD_SPEC", "1234", "N", 4}});
  BrigadeGroup(*ctx_);
  EXPECT_EQ(Text(Out::COD_SPEC), "1234");
  EXPECT_EQ(Text(Out::KVAL), A("Ф"));
  EXPECT_EQ(Text(Out::SP_BRIG), "18");

  // An empty numeric field reads as 0.
  Record({{"PROF", ""}, {"PRFB", A("Х")}, {"COD_SPEC", "", "N", 4}});
  BrigadeGroup(*ctx_);
  EXPECT_EQ(Text(Out::COD_SPEC), "0");
  EXPECT_EQ(Text(Out::KVAL), "9");
  EXPECT_EQ(Text(Out::SP_BRIG), "0");

  Record({{"PROF", ""}, {"PRFB", ""}});
  BrigadeGroup(*ctx_);
  EXPECT_EQ(Text(Out::COD_SPEC), "1439");
  EXPECT_TRUE(Blank(Out::KVAL));
}

class TariffTest : public CallTimingTest {
 protected:
  void SetUp() override {
    CallTimingTest::SetUp();
    Reference("lpu", {{{"NPP", "101", "N", 4}, {"CATEGORY", "2", "N", 1}},
                      {{"NPP", "102", "N", 4}, {"CATEGORY", "3", "N", 1}}});
    Reference("tarif", {Tariff("1439", "2", "20", "03", "1234.56", "01.01.2017"),
                        Tariff("1439", "0", "20", "03", "100.5", "01.02.2016"),
                        Tariff("1445", "2", "21", "03", "999", "01.01.2017"),
                        Tariff("1441", "2", "20", "01", "999", "01.01.2017"),
                        Tariff("439", "2", "20", "03", "55", "01.01.2017"),
                        Tariff("1440", "2", "20", "03", "", "01.01.2017"),
                        Tariff("1442", "2", "20", "03", "777", "")});
  }
  static TableRow Tariff(const char* spec, const char* category, const char* place, const char* purpose,
                         const char* tarif, const char* date) {
    return {{"COD_SPEC", spec, "N", 4},   {"CATEGORY", category, "N", 1}, {"PLACE", place, "N", 2},
            {"PURPOSE", purpose, "C", 2}, {"TARIF", tarif, "N", 10, 2},   {"DATE_TAR", date, "D", 8}};
  }
  // The tariff group for a call of this specialty from this station.
  RecordContext& Tariffed(int spec, int station) {
    session_.stationCode = station;
    RecordContext& ctx = Record({{"NGOD", "1"}});
    ctx.specialty = spec;
    TariffGroup(ctx);
    return ctx;
  }
};

TEST_F(TariffTest, TariffOfTheSpecialtyAndTheStationsCategory) {
  Tariffed(1439, 101);
  EXPECT_EQ(session_.stationCategory, 2);
  EXPECT_DOUBLE_EQ(Number(Out::TARIF), 1234.56);
  EXPECT_EQ(Date(Out::DATE_TAR), Day(2017, 1, 1));

  // Other places and purposes are no emergency tariffs; a three-digit
  // specialty never matches the four-position key. Neither is a failure.
  for (int spec : {1445, 1441, 439, 1443}) {
    EXPECT_NO_THROW(Tariffed(spec, 101)) << spec;
    EXPECT_TRUE(Blank(Out::TARIF)) << spec;
    EXPECT_TRUE(Blank(Out::DATE_TAR)) << spec;
  }
}

TEST_F(TariffTest, StationCategoryCarriesOverWhenTheStationIsUnknown) {
  // Never found since the start: category 0.
  Tariffed(1439, 555);
  EXPECT_EQ(session_.stationCategory, 0);
  EXPECT_DOUBLE_EQ(Number(Out::TARIF), 100.5);
  EXPECT_EQ(Date(Out::DATE_TAR), Day(2016, 2, 1));

  Tariffed(1439, 101);
  Tariffed(1439, 555);
  EXPECT_EQ(session_.stationCategory, 2);
  EXPECT_DOUBLE_EQ(Number(Out::TARIF), 1234.56);

  Tariffed(1439, 102);
  EXPECT_EQ(session_.stationCategory, 3);
  EXPECT_TRUE(Blank(Out::TARIF));
}

TEST_F(TariffTest, EmptyTariffOrDateFailsTheGroup) {
  session_.stationCode = 101;
  RecordContext& noTariff = Record({{"NGOD", "1"}});
  noTariff.specialty = 1440;
  EXPECT_TRUE(Failed([&] { return TariffGroup(noTariff); }));
  EXPECT_TRUE(Blank(Out::TARIF));
  EXPECT_TRUE(Blank(Out::DATE_TAR));

  // The tariff already written stays.
  RecordContext& noDate = Record({{"NGOD", "1"}});
  noDate.specialty = 1442;
  EXPECT_TRUE(Failed([&] { return TariffGroup(noDate); }));
  EXPECT_DOUBLE_EQ(Number(Out::TARIF), 777);
  EXPECT_TRUE(Blank(Out::DATE_TAR));
}

}  // namespace
}  // namespace velt
