// The run's lookups in the city, f002 and tarif references answer as a walk
// of the key's scope does, over names and codes that repeat, differ in
// letter case, region and type, and records that are deleted; asked twice,
// they answer alike.
#include "conversion/reference_lookups.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference/test_tables.h"
#include "support/code_page.h"

namespace velt {
namespace {

using testing::A;
using testing::Column;
using testing::Row;

class ReferenceLookupsTest : public testing::AppFolderTest {
 protected:
  // Rows of one of the PAVK folder's tables, every seventh then deleted.
  void Write(const std::string& name, const std::vector<Column>& columns, const std::vector<Row>& rows) {
    testing::WriteTable(PavkFile(name + ".dbf"), columns, rows);
    Table table;
    table.SetTableName(PavkFile(name + ".dbf"));
    table.Open();
    for (table.First(); !table.Eof();) {
      if (table.RecNo() % 7 == 3)
        table.Delete();
      else
        table.Next();
    }
    table.Close();
    ASSERT_TRUE(OpenReferenceTable(name));
  }

  std::mt19937 rng_{74};
  template <typename T>
  const T& Pick(const std::vector<T>& values) {
    return values[rng_() % values.size()];
  }
};

TEST_F(ReferenceLookupsTest, SettlementsAnswerAsTheScopeWalk) {
  const std::vector<std::string> names = {A("Уфа"), A("уфа"), A("УФА"), A("Уфа "), A("Ёлки"), "", A("Уфа 2")};
  const std::vector<std::string> types = {A("г"), A("Г"), A("п"), A("пгт"), A("ПГТ"), "x", ""};
  const std::vector<std::string> codes = {"74000001000", "74000002000", "02000003000", "", "7"};
  std::vector<Row> rows;
  for (int i = 0; i < 300; ++i) rows.push_back({Pick(names), Pick(types), Pick(codes)});
  Write("city", {{"NAME", "C", 40}, {"SOCR", "C", 10}, {"CODE", "C", 11}}, rows);
  Table& city = Slot(Lookup::city);
  ReferenceLookups lookups(tables_);
  for (int round = 0; round < 2; ++round) {
    for (const char* name : {"УФА", "ЁЛКИ", "", "УФА 2", "НЕТ", "уфа"}) {
      const SettlementRows& rows = lookups.Settlement(A(name));
      city.SetScope(A(name), A(name));
      EXPECT_EQ(rows.count, city.Count()) << name;
      std::string only, home, settlement;
      for (city.First(); !city.Eof(); city.Next()) {
        const std::string code = city.FieldByName("CODE").AsString();
        const std::string type = UpperCase(city.FieldByName("SOCR").AsString());
        if (city.Count() == 1) only = code;
        if (!code.starts_with("74")) continue;
        if (home.empty() && type == A("Г")) home = code;
        if (settlement.empty() && (type == A("П") || type == A("ПГТ"))) settlement = code;
      }
      EXPECT_EQ(rows.onlyCode, only) << name;
      EXPECT_EQ(rows.homeCity, home) << name;
      EXPECT_EQ(rows.homeSettlement, settlement) << name;
    }
  }
}

TEST_F(ReferenceLookupsTest, InsurersAndTariffsAnswerAsTheFirstRecordOfTheScope) {
  std::vector<Row> insurers;
  for (int i = 0; i < 200; ++i)
    insurers.push_back({Pick(std::vector<std::string>{"74001", "74005", "7400", "45001", ""}),
                        std::to_string(rng_() % 100)});
  Write("f002", {{"SMOCOD", "C", 5}, {"TF_OKATO", "C", 5}}, insurers);
  std::vector<Row> tariffs;
  for (int i = 0; i < 200; ++i)
    tariffs.push_back({Pick(std::vector<std::string>{"1439", "1441", "439", "9999"}),
                       std::to_string(rng_() % 4), Pick(std::vector<std::string>{"20", "30"}), "03",
                       std::to_string(rng_() % 5000) + ".5"});
  Write("tarif",
        {{"COD_SPEC", "N", 4},
         {"CATEGORY", "N", 1},
         {"PLACE", "N", 2},
         {"PURPOSE", "C", 2},
         {"TARIF", "N", 10, 2}},
        tariffs);
  Table& f002 = Slot(Lookup::f002);
  Table& tarif = Slot(Lookup::tarif);
  ReferenceLookups lookups(tables_);
  for (int round = 0; round < 2; ++round) {
    for (const char* code : {"74001", "74005", "7400", "45001", "", "45 01", "99999"}) {
      const InsurerRow& row = lookups.Insurer(code);
      f002.SetScope(code, code);
      ASSERT_EQ(row.found, f002.Count() > 0) << code;
      if (row.found) {
        EXPECT_EQ(row.okato, f002.FieldByName("TF_OKATO").AsString()) << code;
      }
    }
    for (int spec : {1439, 1441, 439, 9999, 0}) {
      for (int category = 0; category < 5; ++category) {
        const TariffRow& row = lookups.Tariff(spec, category);
        const std::string key = std::to_string(spec) + std::to_string(category);
        tarif.SetScope(key, key);
        ASSERT_EQ(row.state != TariffRow::State::None, tarif.Count() > 0) << key;
        // Without a DATE_TAR field the date is what fails.
        if (tarif.Count() > 0) {
          EXPECT_EQ(row.state, TariffRow::State::DateFails) << key;
          EXPECT_EQ(row.tariff, tarif.FieldByName("TARIF").AsFloat()) << key;
        }
      }
    }
  }
}

}  // namespace
}  // namespace velt
