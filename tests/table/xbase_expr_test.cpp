#include "table/xbase_expr.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/error.h"
#include "support_files/temp_dir.h"

namespace velt::xbase {
namespace {

using testing::A;

// A record layout and one record buffer to fill field by field.
class Record {
 public:
  void Add(const std::string& name, char type, int width, int decimals = 0) {
    fields_.push_back({name, type, width, decimals, size_});
    size_ += width;
    bytes_.resize(size_, ' ');
  }
  // Raw bytes of a field: text left-aligned, numbers as the caller writes them.
  void Set(const std::string& name, const std::string& raw) {
    for (const FieldInfo& f : fields_) {
      if (f.name != name) continue;
      std::memset(bytes_.data() + f.offset, ' ', f.width);
      std::memcpy(bytes_.data() + f.offset, raw.data(), std::min<std::size_t>(raw.size(), f.width));
      return;
    }
    ADD_FAILURE() << "no field " << name;
  }
  // A number right-justified in its field, as dBase stores it.
  void SetNumber(const std::string& name, const std::string& text) {
    for (const FieldInfo& f : fields_) {
      if (f.name == name) Set(name, std::string(f.width - text.size(), ' ') + text);
    }
  }
  const std::vector<FieldInfo>& Fields() const { return fields_; }
  const char* Data() const { return bytes_.data(); }

 private:
  std::vector<FieldInfo> fields_;
  int size_ = 1;  // byte 0 is the deletion flag
  std::string bytes_ = " ";
};

// The fields the station's reference and mapping tables index.
Record ReferenceRecord() {
  Record r;
  r.Add("NAME", 'C', 40);
  r.Add("SMOCOD", 'C', 5);
  r.Add("VELTCODE", 'C', 10);
  r.Add("VELTNAME", 'C', 60);
  r.Add("DIR_ID", 'N', 6);
  r.Add("COD_SPEC", 'N', 4);
  r.Add("CATEGORY", 'N', 1);
  r.Add("PLACE", 'N', 3);
  r.Add("PURPOSE", 'C', 3);
  r.Add("NPP", 'N', 4);
  r.Add("TARIF", 'N', 10, 2);
  r.Add("DATE_TAR", 'D', 8);
  r.Add("ACTIVE", 'L', 1);
  return r;
}

std::string Key(const Record& r, const std::string& text) {
  std::string out;
  Expression::Compile(text, r.Fields()).EvaluateKey(r.Data(), out);
  return out;
}

double Number(const Record& r, const std::string& text) {
  return Expression::Compile(text, r.Fields()).EvaluateNumber(r.Data());
}

bool Holds(const Record& r, const std::string& text) {
  Expression e = Expression::Compile(text, r.Fields());
  EXPECT_EQ(e.Type(), ValueType::Logical) << text;
  return e.EvaluateLogical(r.Data());
}

std::string ErrorOf(const Record& r, const std::string& text) {
  try {
    Expression::Compile(text, r.Fields());
  } catch (const Error& e) {
    return e.what();
  }
  return "(compiled)";
}

TEST(XbaseExpr, ReferenceTableKeys) {
  Record r = ReferenceRecord();
  r.Set("NAME", A("Челябинск ёлкино"));
  r.Set("SMOCOD", "74005");
  r.Set("VELTCODE", "12");
  r.Set("VELTNAME", A("ГКБ №1"));
  r.SetNumber("DIR_ID", "345");
  r.SetNumber("COD_SPEC", "123");
  r.SetNumber("CATEGORY", "2");
  r.SetNumber("NPP", "672");

  Expression upper = Expression::Compile("UPPER(NAME)", r.Fields());
  EXPECT_EQ(upper.Type(), ValueType::Character);
  EXPECT_EQ(upper.KeyWidth(), 40);
  std::string key;
  upper.EvaluateKey(r.Data(), key);
  EXPECT_EQ(key, A("ЧЕЛЯБИНСК ЁЛКИНО") + std::string(24, ' '));

  EXPECT_EQ(Key(r, "SMOCOD"), "74005");
  EXPECT_EQ(Key(r, "VELTCODE"), "12        ");
  EXPECT_EQ(Key(r, "VELTNAME"), A("ГКБ №1") + std::string(54, ' '));
  // A bare numeric field keys in its own width.
  Expression dir = Expression::Compile("DIR_ID", r.Fields());
  EXPECT_EQ(dir.Type(), ValueType::Numeric);
  EXPECT_EQ(dir.KeyWidth(), 6);
  EXPECT_EQ(Key(r, "DIR_ID"), "   345");

  Expression tariff = Expression::Compile("STR(COD_SPEC,4)+STR(CATEGORY,1)", r.Fields());
  EXPECT_EQ(tariff.KeyWidth(), 5);
  tariff.EvaluateKey(r.Data(), key);
  EXPECT_EQ(key, " 1232");
  EXPECT_EQ(Key(r, "STR(NPP,4)"), " 672");

  const std::string condition = "PLACE=20 AND PURPOSE='03'";
  r.SetNumber("PLACE", "20");
  r.Set("PURPOSE", "03");
  EXPECT_TRUE(Holds(r, condition));
  r.SetNumber("PLACE", "30");
  EXPECT_FALSE(Holds(r, condition));
  r.SetNumber("PLACE", "20");
  r.Set("PURPOSE", "04");
  EXPECT_FALSE(Holds(r, condition));
  r.Set("PURPOSE", "");
  EXPECT_FALSE(Holds(r, condition));
}

TEST(XbaseExpr, NamesAndKeywordsIgnoreCase) {
  Record r = ReferenceRecord();
  r.Set("NAME", A("абв"));
  r.SetNumber("PLACE", "20");
  r.Set("PURPOSE", "03");
  EXPECT_EQ(Key(r, "upper(name)").substr(0, 3), A("АБВ"));
  EXPECT_EQ(Key(r, "Upper( Name )").substr(0, 3), A("АБВ"));
  EXPECT_TRUE(Holds(r, "place=20 and purpose='03'"));
  EXPECT_TRUE(Holds(r, "PLACE=20 .and. PURPOSE=\"03\""));
  EXPECT_TRUE(Holds(r, ".NOT. PLACE=21 .AND. !(PURPOSE='04')"));
  EXPECT_TRUE(Holds(r, "PLACE=21 .or. not PLACE=21"));
}

TEST(XbaseExpr, StrFormatsRoundsAndOverflows) {
  Record r = ReferenceRecord();
  EXPECT_EQ(Key(r, "STR(5)"), "         5");  // default width 10
  EXPECT_EQ(Key(r, "STR(-5,4)"), "  -5");
  EXPECT_EQ(Key(r, "STR(12.345,6,2)"), " 12.35");  // half away from zero, as written
  EXPECT_EQ(Key(r, "STR(-12.345,7,2)"), " -12.35");
  EXPECT_EQ(Key(r, "STR(2.5,3)"), "  3");
  EXPECT_EQ(Key(r, "STR(-2.5,3)"), " -3");
  EXPECT_EQ(Key(r, "STR(0.994,5,2)"), " 0.99");
  EXPECT_EQ(Key(r, "STR(9.995,5,2)"), "10.00");
  EXPECT_EQ(Key(r, "STR(-0.001,5,2)"), " 0.00");  // no negative zero
  EXPECT_EQ(Key(r, "STR(0.5,4,2)"), "0.50");
  EXPECT_EQ(Key(r, "STR(3,5,2)"), " 3.00");
  EXPECT_EQ(Key(r, "STR(12345,4)"), "****");
  EXPECT_EQ(Key(r, "STR(99.99,4,1)"), "****");  // 100.0 needs five
  EXPECT_EQ(Key(r, "STR(1234567890123,13)"), "1234567890123");
  const std::string huge = "VAL('" + std::string(300, '9') + "')";
  EXPECT_EQ(Key(r, "STR(" + huge + ",255,255)"), std::string(255, '*'));
  EXPECT_EQ(Key(r, "STR(" + huge + ")"), "**********");

  r.SetNumber("TARIF", "1234.50");
  EXPECT_EQ(Key(r, "STR(TARIF,10,2)"), "   1234.50");
  EXPECT_EQ(Key(r, "STR(TARIF,6)"), "  1235");
  r.Set("TARIF", "");  // blank number is 0
  EXPECT_EQ(Key(r, "STR(TARIF,4)"), "   0");
  r.SetNumber("COD_SPEC", "-12");
  EXPECT_EQ(Key(r, "STR(COD_SPEC,4)"), " -12");
}

TEST(XbaseExpr, CharacterFunctionsAndWidths) {
  Record r = ReferenceRecord();
  r.Set("SMOCOD", " ab ");
  r.Set("VELTCODE", A("Код"));

  auto width = [&](const std::string& text) { return Expression::Compile(text, r.Fields()).KeyWidth(); };
  EXPECT_EQ(Key(r, "TRIM(SMOCOD)+'|'"), " ab|  ");
  EXPECT_EQ(Key(r, "RTRIM(SMOCOD)+'|'"), " ab|  ");
  EXPECT_EQ(Key(r, "LTRIM(SMOCOD)+'|'"), "ab  | ");
  EXPECT_EQ(Key(r, "ALLTRIM(SMOCOD)+'|'"), "ab|   ");
  EXPECT_EQ(width("TRIM(SMOCOD)+'|'"), 6);
  // '-' moves the blanks of the left part to the end.
  EXPECT_EQ(Key(r, "SMOCOD-'|'"), " ab|  ");
  EXPECT_EQ(Key(r, "SMOCOD+'|'"), " ab  |");

  EXPECT_EQ(Key(r, "SUBSTR(SMOCOD,2,2)"), "ab");
  EXPECT_EQ(width("SUBSTR(SMOCOD,2,2)"), 2);
  EXPECT_EQ(width("SUBSTR(SMOCOD,2)"), 4);
  EXPECT_EQ(Key(r, "SUBSTR(SMOCOD,2)"), "ab  ");
  EXPECT_EQ(Key(r, "SUBSTR(SMOCOD,9,2)"), "");  // wholly past the end
  EXPECT_EQ(Key(r, "SUBSTR('abcdef',-2)"), "ef    ");
  EXPECT_EQ(Key(r, "SUBSTR('abcdef',0,2)"), "ab");
  EXPECT_EQ(Key(r, "LEFT('abcdef',3)"), "abc");
  EXPECT_EQ(Key(r, "RIGHT('abcdef',2)"), "ef");
  EXPECT_EQ(width("LEFT(SMOCOD,9)"), 5);
  EXPECT_EQ(Key(r, "LEFT(SMOCOD,1+1)"), " a");

  EXPECT_EQ(Key(r, "LOWER(VELTCODE)").substr(0, 3), A("код"));
  EXPECT_EQ(Key(r, A("UPPER('ab') + LOWER('ЁЖ')")), "AB" + A("ёж"));
  EXPECT_EQ(Key(r, "IIF(SMOCOD=' ab','yes','no')"), "yes");
  EXPECT_EQ(Key(r, "IIF(SMOCOD='x','yes','no')"), "no ");
  EXPECT_EQ(width("IIF(.T.,'a','bcd')"), 3);
  EXPECT_DOUBLE_EQ(Number(r, "IIF(SMOCOD=' ab',1,2)"), 1);
}

TEST(XbaseExpr, Comparisons) {
  Record r = ReferenceRecord();
  r.Set("SMOCOD", "74005");
  // '=' compares over the length of the right side; '==' wants equality.
  EXPECT_TRUE(Holds(r, "SMOCOD='740'"));
  EXPECT_TRUE(Holds(r, "SMOCOD=''"));
  EXPECT_FALSE(Holds(r, "'740'=SMOCOD"));
  EXPECT_FALSE(Holds(r, "SMOCOD=='740'"));
  EXPECT_TRUE(Holds(r, "SMOCOD=='74005'"));
  EXPECT_TRUE(Holds(r, "SMOCOD<>'75'"));
  EXPECT_TRUE(Holds(r, "SMOCOD#'75'"));
  EXPECT_TRUE(Holds(r, "SMOCOD!='75'"));
  EXPECT_FALSE(Holds(r, "SMOCOD<>'74'"));
  EXPECT_TRUE(Holds(r, "SMOCOD<'75'"));
  EXPECT_TRUE(Holds(r, "SMOCOD>'73999'"));
  EXPECT_TRUE(Holds(r, "SMOCOD>='74'"));
  EXPECT_TRUE(Holds(r, "SMOCOD<='74'"));
  EXPECT_TRUE(Holds(r, "'400'$SMOCOD"));
  // Bytes compare unsigned: Cyrillic sorts after Latin.
  EXPECT_TRUE(Holds(r, A("'Я'>'z'")));

  r.SetNumber("PLACE", "20");
  EXPECT_TRUE(Holds(r, "PLACE>=20 .AND. PLACE<=20 .AND. PLACE<21 .AND. PLACE>19.5"));
  EXPECT_TRUE(Holds(r, "PLACE==20 AND PLACE#21"));
  // AND binds tighter than OR; NOT tighter than AND.
  EXPECT_TRUE(Holds(r, "PLACE=1 AND PLACE=2 OR PLACE=20"));
  EXPECT_FALSE(Holds(r, "PLACE=1 AND (PLACE=2 OR PLACE=20)"));
  EXPECT_FALSE(Holds(r, "NOT PLACE=20 AND PLACE=20"));

  r.Set("ACTIVE", "t");
  EXPECT_TRUE(Holds(r, "ACTIVE"));
  EXPECT_TRUE(Holds(r, "ACTIVE = .T."));
  r.Set("ACTIVE", "N");
  EXPECT_FALSE(Holds(r, "ACTIVE"));
  r.Set("ACTIVE", "Y");
  EXPECT_TRUE(Holds(r, "ACTIVE .AND. .T."));
  EXPECT_EQ(Key(r, "ACTIVE"), "T");
}

TEST(XbaseExpr, NumbersAndArithmetic) {
  Record r = ReferenceRecord();
  r.SetNumber("TARIF", "-1234.56");
  r.SetNumber("COD_SPEC", "7");
  EXPECT_DOUBLE_EQ(Number(r, "TARIF"), -1234.56);
  EXPECT_DOUBLE_EQ(Number(r, "COD_SPEC*2+1"), 15);
  EXPECT_DOUBLE_EQ(Number(r, "(COD_SPEC+1)*2"), 16);
  EXPECT_DOUBLE_EQ(Number(r, "COD_SPEC-10"), -3);
  EXPECT_DOUBLE_EQ(Number(r, "-COD_SPEC/2"), -3.5);
  EXPECT_DOUBLE_EQ(Number(r, "COD_SPEC/0"), 0);
  r.Set("COD_SPEC", "  x ");  // unreadable number reads 0
  EXPECT_DOUBLE_EQ(Number(r, "COD_SPEC"), 0);
  EXPECT_DOUBLE_EQ(Number(r, "VAL(' 12.5abc')"), 12.5);
  EXPECT_DOUBLE_EQ(Number(r, "VAL('-.5')"), -0.5);
  EXPECT_DOUBLE_EQ(Number(r, "VAL('abc')"), 0);

  // A key of a computed number is STR's 10 characters, with the decimals of its parts.
  Expression sum = Expression::Compile("TARIF+1", r.Fields());
  EXPECT_EQ(sum.KeyWidth(), 10);
  EXPECT_EQ(sum.KeyDecimals(), 2);
  EXPECT_EQ(Key(r, "TARIF+1"), "  -1233.56");
  Expression bare = Expression::Compile("TARIF", r.Fields());
  EXPECT_EQ(bare.KeyWidth(), 10);
  EXPECT_EQ(bare.KeyDecimals(), 2);
}

TEST(XbaseExpr, Dates) {
  Record r = ReferenceRecord();
  r.Set("DATE_TAR", "20240228");
  Expression date = Expression::Compile("DATE_TAR", r.Fields());
  EXPECT_EQ(date.Type(), ValueType::Date);
  EXPECT_EQ(date.KeyWidth(), 8);
  EXPECT_EQ(Key(r, "DATE_TAR"), "20240228");
  EXPECT_EQ(Key(r, "DTOS(DATE_TAR)"), "20240228");
  EXPECT_EQ(Key(r, "DTOS(DATE_TAR+2)"), "20240301");  // through a leap day
  EXPECT_EQ(Key(r, "DTOS(1+DATE_TAR)"), "20240229");
  EXPECT_EQ(Key(r, "DTOS(DATE_TAR-59)"), "20231231");
  EXPECT_DOUBLE_EQ(Number(r, "DATE_TAR-(DATE_TAR-366)"), 366);
  EXPECT_EQ(Key(r, "DTOS(DATE_TAR)+SMOCOD"), "20240228     ");

  Record empty = ReferenceRecord();
  EXPECT_EQ(Key(empty, "DTOS(DATE_TAR)"), "        ");
  EXPECT_EQ(Key(empty, "DTOS(DATE_TAR+1)"), "        ");
  empty.Set("DATE_TAR", "20230231");  // no such day: empty
  EXPECT_EQ(Key(empty, "DTOS(DATE_TAR)"), "        ");
  EXPECT_EQ(Key(empty, "DTOS(DATE_TAR)"), "        ");
}

TEST(XbaseExpr, KeysArePaddedAndReuseTheBuffer) {
  Record r = ReferenceRecord();
  Expression e = Expression::Compile("TRIM(SMOCOD)+TRIM(VELTCODE)", r.Fields());
  EXPECT_EQ(e.KeyWidth(), 15);
  std::string key = "left over from an earlier and longer key";
  r.Set("SMOCOD", "1");
  r.Set("VELTCODE", "2");
  e.EvaluateKey(r.Data(), key);
  EXPECT_EQ(key, "12             ");
  r.Set("SMOCOD", "12345");
  r.Set("VELTCODE", "6789012345");
  e.EvaluateKey(r.Data(), key);
  EXPECT_EQ(key, "123456789012345");
}

TEST(XbaseExpr, RejectedExpressionsNameTheText) {
  Record r = ReferenceRecord();
  auto invalid = [](const std::string& text) { return "Invalid index expression [" + text + "]"; };
  const char* rejected[] = {
      "",                    // nothing
      "NAME +",              // garbage at the end
      "@NAME",               // character outside the language
      "NAME NAME",           // two operands
      "NOSUCH",              // unknown field
      "UPPER(NOSUCH)",       // unknown field inside
      "FROB(NAME)",          // unknown function
      "UPPER(NAME",          // unbalanced
      "UPPER(NAME))",        // unbalanced
      "(NAME",               // unbalanced
      "'open",               // unterminated string
      "UPPER(NPP)",          // number where text belongs
      "NAME+NPP",            // text plus number
      "PLACE='20'",          // number compared with text
      "PLACE=20 AND NAME",   // AND of text
      "STR(NAME,4)",         // STR of text
      "STR(NPP,NPP)",        // width not a constant
      "SUBSTR(NAME)",        // too few arguments
      "UPPER(NAME,1)",       // too many arguments
      "IIF(PLACE=1,'a',2)",  // branches of different types
      "DTOS(NAME)",          // DTOS of text
      ".MAYBE.",             // no such dot word
  };
  for (const char* text : rejected) EXPECT_EQ(ErrorOf(r, text), invalid(text)) << text;
}

}  // namespace
}  // namespace velt::xbase
