// Index order and scopes checked against a plain model of the table, on
// tables large enough for the searches' summaries and galloping, before and
// after appends, edits and deletions.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/code_page.h"
#include "support_files/temp_dir.h"
#include "table/table.h"

namespace velt {
namespace {

constexpr int kWidth = 6;

std::string A_(const char* utf8) { return Utf8ToAnsi(utf8); }

struct Model {
  std::vector<std::string> names;  // 1251, by record number - 1
  std::vector<bool> deleted;

  // The stored key: upper-cased, padded, in 866, as the index compares it.
  static std::string Key(const std::string& name) {
    std::string key = UpperCase(name);
    key.resize(kWidth, ' ');
    return AnsiToOem(key);
  }
  // Record numbers in index order, ties in record order.
  std::vector<int> Order(bool descending, const std::string& low, const std::string& high) const {
    std::vector<int> recnos;
    for (std::size_t i = 0; i < names.size(); ++i) {
      std::string key = Key(names[i]);
      if (!deleted[i] && key >= Key(low) && key <= Key(high)) recnos.push_back(static_cast<int>(i) + 1);
    }
    std::stable_sort(recnos.begin(), recnos.end(), [&](int a, int b) {
      std::string ka = Key(names[a - 1]), kb = Key(names[b - 1]);
      return descending ? ka > kb : ka < kb;
    });
    return recnos;
  }
};

std::string RandomName(std::mt19937& random) {
  static const std::vector<std::string> letters = {"a", "B", "z", A_("ж"), A_("Я"), A_("ё"), " ", "1"};
  std::string name;
  int length = static_cast<int>(random() % 5);
  for (int i = 0; i < length; ++i) name += letters[random() % letters.size()];
  return name;
}

std::vector<int> Walk(Table& table) {
  std::vector<int> recnos;
  for (table.First(); !table.Eof(); table.Next()) recnos.push_back(table.RecNo());
  return recnos;
}

void CheckAgainstModel(Table& table, const Model& model, std::mt19937& random) {
  const std::string top(kWidth, '\xFF');  // above every key
  for (int order : {1, 2}) {
    bool descending = order == 2;
    table.SetOrder(order);
    ASSERT_EQ(Walk(table), model.Order(descending, "", OemToAnsi(top))) << "order " << order;
    for (int probe = 0; probe < 150; ++probe) {
      std::string key = probe % 3 == 0 ? RandomName(random) : model.names[random() % model.names.size()];
      std::string upper = UpperCase(key);
      table.SetScope(upper, upper);
      auto expected = model.Order(descending, key, key);
      ASSERT_EQ(table.Count(), static_cast<int>(expected.size())) << upper;
      ASSERT_EQ(Walk(table), expected) << upper;
    }
    for (int probe = 0; probe < 40; ++probe) {
      std::string low = UpperCase(RandomName(random)), high = UpperCase(RandomName(random));
      if (Model::Key(low) > Model::Key(high)) std::swap(low, high);
      table.SetScope(low, high);
      ASSERT_EQ(Walk(table), model.Order(descending, low, high)) << low << ".." << high;
    }
    table.CancelScope();
  }
}

TEST(TableIndexTest, OrdersAndScopesAgreeWithAPlainModel) {
  testing::TempDir dir;
  const std::string path = dir.File("names.dbf");
  Table table;
  table.SetOEMTranslate(true);
  table.CreateNew(path, 2, 1);
  table.CreateField("NAME", "C", kWidth, 0);
  table.CreateExec();
  table.SetTableName(path);
  table.SetExclusive(true);
  table.SetOEMTranslate(true);
  table.Open();

  std::mt19937 random(7);
  Model model;
  for (int i = 0; i < 3000; ++i) {
    model.names.push_back(RandomName(random));
    model.deleted.push_back(false);
    table.Append();
    table.SetString(0, model.names.back());
    table.Post();
  }
  EXPECT_EQ(table.Index(dir.File("asc.ntx"), "UPPER(NAME)", 0, false, ""), 1);
  EXPECT_EQ(table.Index(dir.File("desc.ntx"), "UPPER(NAME)", 0, true, ""), 2);
  CheckAgainstModel(table, model, random);

  // Changes through either order keep both indexes right.
  for (int step = 0; step < 300; ++step) {
    table.SetOrder(1 + step % 2);
    int recno = static_cast<int>(random() % model.names.size()) + 1;
    switch (random() % 3) {
      case 0:
        table.Append();
        model.names.push_back(RandomName(random));
        model.deleted.push_back(false);
        table.SetString(0, model.names.back());
        table.Post();
        break;
      case 1:
        table.GoTo(recno);
        if (table.Eof()) break;
        table.Edit();
        model.names[recno - 1] = RandomName(random);
        table.SetString(0, model.names[recno - 1]);
        table.Post();
        break;
      default:
        table.GoTo(recno);
        if (table.Eof()) break;
        table.Delete();
        model.deleted[recno - 1] = true;
    }
  }
  CheckAgainstModel(table, model, random);
}

}  // namespace
}  // namespace velt
