// The xBase expression language of index keys and conditions.
//
// The text is parsed once into a tree of typed nodes. Character nodes give a
// string_view that points either into the record itself (fields, TRIM, SUBSTR
// and the like) or into a buffer the node owns, sized at compile time to the
// node's largest result; so evaluating a key allocates nothing.
//
// Values: character text; numbers as double; dates as Julian day numbers
// (0 for the empty date, which sorts before every real date); logicals.
#include "table/xbase_expr.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "support/code_page.h"
#include "support/date_time.h"
#include "support/error.h"
#include "support/text.h"
#include "table/dbf_value.h"

namespace velt::xbase {
namespace {

// Thrown inside the compiler; Compile turns it into the user's error text.
struct Invalid {};

[[noreturn]] void Fail() { throw Invalid{}; }

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// A count or position given as a number, bounded so that any value converts
// safely (no text is anywhere near a million characters long).
int Bounded(double value) {
  if (!(value == value)) return 0;  // NaN
  return static_cast<int>(std::clamp(value, -1e6, 1e6));
}

// ---- Dates as Julian day numbers.

// The Julian day of the tables' zero date, 30 December 1899.
constexpr double kJulianDayOfZeroDate = 2415019;

// "yyyymmdd" to a day number; anything else (blank, a date that does not
// exist) is the empty date.
double ParseDate(std::string_view s) {
  DateTime value = 0;
  return dbf::ParseDate(s.substr(0, 8), value) ? value + kJulianDayOfZeroDate : 0;
}

// Writes 8 characters: yyyymmdd, or blanks for the empty date.
void FormatDate(double day, char* out) {
  constexpr double kLastDay = 5373484;  // 31 December 9999
  if (!(day > 0 && day <= kLastDay) || !dbf::FormatDate(std::trunc(day) - kJulianDayOfZeroDate, out))
    std::memset(out, ' ', 8);
}

// ---- Numbers.

// The number a numeric field holds: blanks around it, an optional sign,
// digits with an optional point. Blank or unreadable text is 0.
double ParseFieldNumber(std::string_view s) {
  s = TrimRightView(TrimLeftView(s));
  if (s.empty()) return 0;
  const char* p = s.data();
  const char* end = p + s.size();
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  // Up to 15 digits fit a double exactly; longer text goes the slow way.
  std::int64_t mantissa = 0;
  int digits = 0, fraction = 0;
  bool point = false;
  for (; p < end; ++p) {
    if (*p >= '0' && *p <= '9') {
      // Past 15 digits the mantissa is not used (and would overflow).
      if (digits < 16) mantissa = mantissa * 10 + (*p - '0');
      ++digits;
      if (point) ++fraction;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      return 0;
    }
  }
  if (digits == 0) return 0;
  if (digits > 15) {
    double value = 0;
    const char* begin = s.data() + (s[0] == '-' || s[0] == '+');
    if (std::from_chars(begin, end, value).ec != std::errc()) return 0;
    return negative ? -value : value;
  }
  static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const double value = static_cast<double>(mantissa) / kPow10[fraction];
  return negative ? -value : value;
}

// VAL: the number at the start of the text, 0 when there is none.
double ParseLeadingNumber(std::string_view s) {
  s = TrimLeftView(s);
  std::size_t n = 0;
  if (n < s.size() && (s[n] == '-' || s[n] == '+')) ++n;
  const std::size_t digitsFrom = n;
  bool point = false;
  while (n < s.size() && ((s[n] >= '0' && s[n] <= '9') || (s[n] == '.' && !point))) {
    point = point || s[n] == '.';
    ++n;
  }
  std::string_view number = s.substr(0, n);
  if (n == digitsFrom) return 0;
  if (number.back() == '.') number.remove_suffix(1);
  if (number.empty() || number == "-" || number == "+") return 0;
  std::size_t skip = number[0] == '+' ? 1 : 0;
  if (number.size() > skip && number[skip] == '.') {
    // from_chars needs a digit before the point.
    char buffer[64];
    const std::size_t length = std::min<std::size_t>(number.size(), sizeof buffer - 2);
    std::size_t o = 0;
    if (number[0] == '-') buffer[o++] = '-';
    buffer[o++] = '0';
    for (std::size_t i = (number[0] == '-' || number[0] == '+') ? 1 : 0; i < length; ++i)
      buffer[o++] = number[i];
    double value = 0;
    std::from_chars(buffer, buffer + o, value);
    return value;
  }
  double value = 0;
  std::from_chars(number.data() + skip, number.data() + number.size(), value);
  return value;
}

// STR(value, width, decimals): the numeric field's text of the value, all
// '*' when it does not fit.
void FormatStr(double value, int width, int decimals, char* out) {
  if (!dbf::FormatNumber(value, width, decimals, out)) std::memset(out, '*', std::max(width, 0));
}

// ---- The node tree.

class Node {
 public:
  Node(ValueType type, int width, int decimals = 0) : type_(type), width_(width), decimals_(decimals) {}
  virtual ~Node() = default;
  ValueType Type() const { return type_; }
  int Width() const { return width_; }
  int Decimals() const { return decimals_; }
  bool IsConstant() const { return constant_; }
  void SetConstant(bool constant) { constant_ = constant; }

  // Each node answers the call of its own type; dates answer Number.
  virtual std::string_view Text(const char*) const { return {}; }
  virtual double Number(const char*) const { return 0; }
  virtual bool Logical(const char*) const { return false; }

 private:
  ValueType type_;
  int width_;  // largest length of a character result
  int decimals_;
  bool constant_ = false;
};

using NodePtr = std::unique_ptr<Node>;

// A character node that builds its result in a buffer of its own.
class BufferedText : public Node {
 public:
  explicit BufferedText(int width) : Node(ValueType::Character, width), buffer_(std::max(width, 1), ' ') {}

 protected:
  char* Buffer() const { return buffer_.data(); }

 private:
  mutable std::string buffer_;
};

// ---- Fields.

class CharField : public Node {
 public:
  CharField(int offset, int width) : Node(ValueType::Character, width), offset_(offset) {}
  std::string_view Text(const char* record) const override {
    return {record + offset_, static_cast<std::size_t>(Width())};
  }

 private:
  int offset_;
};

class NumField : public Node {
 public:
  NumField(int offset, int width, int decimals)
      : Node(ValueType::Numeric, width, decimals), offset_(offset), fieldWidth_(width) {}
  double Number(const char* record) const override {
    return ParseFieldNumber({record + offset_, static_cast<std::size_t>(fieldWidth_)});
  }

 private:
  int offset_;
  int fieldWidth_;
};

// A four-byte little-endian integer field.
class IntField : public Node {
 public:
  explicit IntField(int offset) : Node(ValueType::Numeric, 10), offset_(offset) {}
  double Number(const char* record) const override {
    const auto* b = reinterpret_cast<const unsigned char*>(record + offset_);
    const std::uint32_t u = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    return static_cast<std::int32_t>(u);
  }

 private:
  int offset_;
};

class DateField : public Node {
 public:
  explicit DateField(int offset) : Node(ValueType::Date, 8), offset_(offset) {}
  double Number(const char* record) const override { return ParseDate({record + offset_, 8}); }

 private:
  int offset_;
};

class LogicalField : public Node {
 public:
  explicit LogicalField(int offset) : Node(ValueType::Logical, 1), offset_(offset) {}
  bool Logical(const char* record) const override {
    const char c = record[offset_];
    return c == 'T' || c == 't' || c == 'Y' || c == 'y';
  }

 private:
  int offset_;
};

// ---- Literals.

class TextLiteral : public Node {
 public:
  explicit TextLiteral(std::string text)
      : Node(ValueType::Character, static_cast<int>(text.size())), text_(std::move(text)) {}
  std::string_view Text(const char*) const override { return text_; }

 private:
  std::string text_;
};

class NumLiteral : public Node {
 public:
  NumLiteral(double value, int decimals) : Node(ValueType::Numeric, 10, decimals), value_(value) {}
  double Number(const char*) const override { return value_; }

 private:
  double value_;
};

class LogicalLiteral : public Node {
 public:
  explicit LogicalLiteral(bool value) : Node(ValueType::Logical, 1), value_(value) {}
  bool Logical(const char*) const override { return value_; }

 private:
  bool value_;
};

// ---- Character functions.

using CaseTable = std::array<char, 256>;

const CaseTable& UpperTable() {
  static const CaseTable table = [] {
    CaseTable t;
    for (int c = 0; c < 256; ++c) t[c] = UpperChar(static_cast<char>(c));
    return t;
  }();
  return table;
}

// The inverse of upper-casing: each upper-case letter back to its lower one.
const CaseTable& LowerTable() {
  static const CaseTable table = [] {
    CaseTable t;
    for (int c = 0; c < 256; ++c) t[c] = static_cast<char>(c);
    for (int c = 0; c < 256; ++c) {
      const char upper = UpperChar(static_cast<char>(c));
      if (upper != static_cast<char>(c)) t[static_cast<unsigned char>(upper)] = static_cast<char>(c);
    }
    return t;
  }();
  return table;
}

class MapCase : public BufferedText {
 public:
  MapCase(NodePtr arg, const CaseTable& table)
      : BufferedText(arg->Width()), arg_(std::move(arg)), table_(table) {}
  std::string_view Text(const char* record) const override {
    const std::string_view in = arg_->Text(record);
    char* out = Buffer();
    for (std::size_t i = 0; i < in.size(); ++i) out[i] = table_[static_cast<unsigned char>(in[i])];
    return {out, in.size()};
  }

 private:
  NodePtr arg_;
  const CaseTable& table_;
};

enum class TrimKind { Right, Left, Both };

class TrimText : public Node {
 public:
  TrimText(NodePtr arg, TrimKind kind)
      : Node(ValueType::Character, arg->Width()), arg_(std::move(arg)), kind_(kind) {}
  std::string_view Text(const char* record) const override {
    std::string_view s = arg_->Text(record);
    if (kind_ != TrimKind::Left) s = TrimRightView(s);
    if (kind_ != TrimKind::Right) s = TrimLeftView(s);
    return s;
  }

 private:
  NodePtr arg_;
  TrimKind kind_;
};

// SUBSTR(s, start[, count]): a start below 0 counts from the end, 0 is 1.
class Substr : public Node {
 public:
  Substr(NodePtr text, NodePtr start, NodePtr count, int width)
      : Node(ValueType::Character, width),
        text_(std::move(text)),
        start_(std::move(start)),
        count_(std::move(count)) {}
  std::string_view Text(const char* record) const override {
    const std::string_view s = text_->Text(record);
    const auto size = static_cast<std::int64_t>(s.size());
    const std::int64_t start = Bounded(start_->Number(record));
    std::int64_t from = start > 0 ? start - 1 : start < 0 ? std::max<std::int64_t>(size + start, 0) : 0;
    if (from >= size) return {};
    std::int64_t count = size - from;
    if (count_) count = std::min<std::int64_t>(count, Bounded(count_->Number(record)));
    if (count <= 0) return {};
    return s.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
  }

 private:
  NodePtr text_, start_, count_;
};

class LeftRight : public Node {
 public:
  LeftRight(NodePtr text, NodePtr count, bool right, int width)
      : Node(ValueType::Character, width), text_(std::move(text)), count_(std::move(count)), right_(right) {}
  std::string_view Text(const char* record) const override {
    const std::string_view s = text_->Text(record);
    const double wanted = count_->Number(record);
    if (wanted <= 0) return {};
    const std::size_t n = std::min(s.size(), static_cast<std::size_t>(Bounded(wanted)));
    return right_ ? s.substr(s.size() - n) : s.substr(0, n);
  }

 private:
  NodePtr text_, count_;
  bool right_;
};

class StrOf : public BufferedText {
 public:
  StrOf(NodePtr number, int width, int decimals)
      : BufferedText(width), number_(std::move(number)), decimals_(decimals) {}
  std::string_view Text(const char* record) const override {
    FormatStr(number_->Number(record), Width(), decimals_, Buffer());
    return {Buffer(), static_cast<std::size_t>(Width())};
  }

 private:
  NodePtr number_;
  int decimals_;
};

class DtosOf : public BufferedText {
 public:
  explicit DtosOf(NodePtr date) : BufferedText(8), date_(std::move(date)) {}
  std::string_view Text(const char* record) const override {
    FormatDate(date_->Number(record), Buffer());
    return {Buffer(), 8};
  }

 private:
  NodePtr date_;
};

class LogicalText : public Node {
 public:
  explicit LogicalText(NodePtr value) : Node(ValueType::Character, 1), value_(std::move(value)) {}
  std::string_view Text(const char* record) const override { return value_->Logical(record) ? "T" : "F"; }

 private:
  NodePtr value_;
};

class ValOf : public Node {
 public:
  explicit ValOf(NodePtr text) : Node(ValueType::Numeric, 10), text_(std::move(text)) {}
  double Number(const char* record) const override { return ParseLeadingNumber(text_->Text(record)); }

 private:
  NodePtr text_;
};

// '+' joins; '-' joins with the trailing blanks of the left part moved to the end.
class Concat : public BufferedText {
 public:
  Concat(NodePtr left, NodePtr right, bool moveBlanks)
      : BufferedText(left->Width() + right->Width()),
        left_(std::move(left)),
        right_(std::move(right)),
        moveBlanks_(moveBlanks) {}
  std::string_view Text(const char* record) const override {
    const std::string_view a = left_->Text(record);
    const std::string_view b = right_->Text(record);
    char* out = Buffer();
    std::size_t kept = moveBlanks_ ? TrimRightView(a).size() : a.size();
    // An empty part may have no data pointer at all (RIGHT(x, 0)).
    if (kept > 0) std::memcpy(out, a.data(), kept);
    if (!b.empty()) std::memcpy(out + kept, b.data(), b.size());
    std::memset(out + kept + b.size(), ' ', a.size() - kept);
    return {out, a.size() + b.size()};
  }

 private:
  NodePtr left_, right_;
  bool moveBlanks_;
};

class Iif : public Node {
 public:
  Iif(NodePtr condition, NodePtr a, NodePtr b)
      : Node(a->Type(), std::max(a->Width(), b->Width()), std::max(a->Decimals(), b->Decimals())),
        condition_(std::move(condition)),
        a_(std::move(a)),
        b_(std::move(b)) {}
  std::string_view Text(const char* record) const override { return Pick(record).Text(record); }
  double Number(const char* record) const override { return Pick(record).Number(record); }
  bool Logical(const char* record) const override { return Pick(record).Logical(record); }

 private:
  const Node& Pick(const char* record) const { return condition_->Logical(record) ? *a_ : *b_; }
  NodePtr condition_, a_, b_;
};

// ---- Arithmetic.

enum class ArithOp { Add, Sub, Mul, Div, Mod };

class Arith : public Node {
 public:
  Arith(ArithOp op, NodePtr left, NodePtr right, ValueType type, int decimals)
      : Node(type, type == ValueType::Date ? 8 : 10, decimals),
        op_(op),
        left_(std::move(left)),
        right_(std::move(right)) {}
  double Number(const char* record) const override {
    const double a = left_->Number(record);
    const double b = right_->Number(record);
    if (left_->Type() == ValueType::Date) return DateArith(a, b);
    switch (op_) {
      case ArithOp::Add:
        return a + b;
      case ArithOp::Sub:
        return a - b;
      case ArithOp::Mul:
        return a * b;
      case ArithOp::Div:
        return b == 0 ? 0 : a / b;
      case ArithOp::Mod:
        return b == 0 ? 0 : std::fmod(a, b);
    }
    return 0;
  }

 private:
  // Date plus or minus whole days; date minus date is a number of days. The
  // empty date stays empty and is 0 days from anything.
  double DateArith(double date, double other) const {
    if (right_->Type() == ValueType::Date) return date <= 0 || other <= 0 ? 0 : date - other;
    if (date <= 0) return 0;
    const double days = std::trunc(other);
    const double result = op_ == ArithOp::Add ? date + days : date - days;
    return result > 0 ? result : 0;
  }

  ArithOp op_;
  NodePtr left_, right_;
};

class Negate : public Node {
 public:
  explicit Negate(NodePtr arg) : Node(ValueType::Numeric, 10, arg->Decimals()), arg_(std::move(arg)) {}
  double Number(const char* record) const override { return -arg_->Number(record); }

 private:
  NodePtr arg_;
};

// ---- Comparisons and logic.

enum class CompareOp { Equal, Exact, NotEqual, Less, LessEqual, Greater, GreaterEqual, Contains };

// Text compares byte by byte over the length of the right side: "ABC" = "AB"
// holds, "AB" = "ABC" does not, anything = "" holds. '==' wants both equal.
int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c;
  return a.size() < b.size() ? -1 : 0;
}

class Compare : public Node {
 public:
  Compare(CompareOp op, NodePtr left, NodePtr right)
      : Node(ValueType::Logical, 1), op_(op), left_(std::move(left)), right_(std::move(right)) {}
  bool Logical(const char* record) const override {
    int c = 0;
    switch (left_->Type()) {
      case ValueType::Character: {
        const std::string_view a = left_->Text(record);
        const std::string_view b = right_->Text(record);
        if (op_ == CompareOp::Contains) return b.find(a) != std::string_view::npos;
        if (op_ == CompareOp::Exact) return a == b;
        c = CompareText(a, b);
        break;
      }
      case ValueType::Numeric:
      case ValueType::Date: {
        const double a = left_->Number(record);
        const double b = right_->Number(record);
        c = a < b ? -1 : a > b ? 1 : 0;
        break;
      }
      case ValueType::Logical:
        c = static_cast<int>(left_->Logical(record)) - static_cast<int>(right_->Logical(record));
        break;
    }
    switch (op_) {
      case CompareOp::Equal:
      case CompareOp::Exact:
        return c == 0;
      case CompareOp::NotEqual:
        return c != 0;
      case CompareOp::Less:
        return c < 0;
      case CompareOp::LessEqual:
        return c <= 0;
      case CompareOp::Greater:
        return c > 0;
      case CompareOp::GreaterEqual:
        return c >= 0;
      case CompareOp::Contains:
        return false;
    }
    return false;
  }

 private:
  CompareOp op_;
  NodePtr left_, right_;
};

class AndOr : public Node {
 public:
  AndOr(bool isAnd, NodePtr left, NodePtr right)
      : Node(ValueType::Logical, 1), isAnd_(isAnd), left_(std::move(left)), right_(std::move(right)) {}
  bool Logical(const char* record) const override {
    return isAnd_ ? left_->Logical(record) && right_->Logical(record)
                  : left_->Logical(record) || right_->Logical(record);
  }

 private:
  bool isAnd_;
  NodePtr left_, right_;
};

class Not : public Node {
 public:
  explicit Not(NodePtr arg) : Node(ValueType::Logical, 1), arg_(std::move(arg)) {}
  bool Logical(const char* record) const override { return !arg_->Logical(record); }

 private:
  NodePtr arg_;
};

// ---- Tokens.

enum class Tok {
  End,
  Name,
  Number,
  String,
  LParen,
  RParen,
  Comma,
  Plus,
  Minus,
  Star,
  Slash,
  Percent,
  Dollar,
  Equal,
  Exact,
  NotEqual,
  Less,
  LessEqual,
  Greater,
  GreaterEqual,
  And,
  Or,
  Not,
  True,
  False,
};

struct Token {
  Tok kind = Tok::End;
  std::string text;  // names upper-cased; string contents as written
  double number = 0;
  int decimals = 0;
};

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  Token Next() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    Token t;
    if (pos_ >= text_.size()) return t;
    const char c = text_[pos_];
    if (IsNameStart(c)) return Word();
    if (IsDigit(c) || (c == '.' && pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1]))) return NumberToken();
    if (c == '.') return DotWord();
    if (c == '\'' || c == '"') return StringToken(c);
    ++pos_;
    switch (c) {
      case '(':
        t.kind = Tok::LParen;
        break;
      case ')':
        t.kind = Tok::RParen;
        break;
      case ',':
        t.kind = Tok::Comma;
        break;
      case '+':
        t.kind = Tok::Plus;
        break;
      case '-':
        t.kind = Tok::Minus;
        break;
      case '*':
        t.kind = Tok::Star;
        break;
      case '/':
        t.kind = Tok::Slash;
        break;
      case '%':
        t.kind = Tok::Percent;
        break;
      case '$':
        t.kind = Tok::Dollar;
        break;
      case '#':
        t.kind = Tok::NotEqual;
        break;
      case '=':
        t.kind = Accept('=') ? Tok::Exact : Tok::Equal;
        break;
      case '!':
        t.kind = Accept('=') ? Tok::NotEqual : Tok::Not;
        break;
      case '<':
        t.kind = Accept('=') ? Tok::LessEqual : Accept('>') ? Tok::NotEqual : Tok::Less;
        break;
      case '>':
        t.kind = Accept('=') ? Tok::GreaterEqual : Tok::Greater;
        break;
      default:
        Fail();
    }
    return t;
  }

 private:
  bool Accept(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  Token Word() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    Token t;
    t.text = AsciiUpperCase(text_.substr(start, pos_ - start));
    t.kind = t.text == "AND" ? Tok::And : t.text == "OR" ? Tok::Or : t.text == "NOT" ? Tok::Not : Tok::Name;
    return t;
  }

  Token NumberToken() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    Token t;
    t.kind = Tok::Number;
    if (pos_ < text_.size() && text_[pos_] == '.' && pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1])) {
      const std::size_t point = ++pos_;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
      t.decimals = static_cast<int>(pos_ - point);
    }
    t.number = ParseLeadingNumber(text_.substr(start, pos_ - start));
    return t;
  }

  // .AND. .OR. .NOT. .T. .F. .Y. .N.
  Token DotWord() {
    const std::size_t close = text_.find('.', pos_ + 1);
    if (close == std::string_view::npos) Fail();
    const std::string word = AsciiUpperCase(text_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
    Token t;
    if (word == "AND")
      t.kind = Tok::And;
    else if (word == "OR")
      t.kind = Tok::Or;
    else if (word == "NOT")
      t.kind = Tok::Not;
    else if (word == "T" || word == "Y")
      t.kind = Tok::True;
    else if (word == "F" || word == "N")
      t.kind = Tok::False;
    else
      Fail();
    return t;
  }

  Token StringToken(char quote) {
    const std::size_t close = text_.find(quote, pos_ + 1);
    if (close == std::string_view::npos) Fail();
    Token t;
    t.kind = Tok::String;
    t.text = std::string(text_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
    return t;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// ---- Parser: OR < AND < NOT < comparison < + - < * / % < unary < primary.

class Parser {
 public:
  Parser(std::string_view text, const std::vector<FieldInfo>& fields) : lexer_(text), fields_(fields) {
    Advance();
  }

  NodePtr ParseAll() {
    NodePtr node = ParseOr();
    if (token_.kind != Tok::End) Fail();
    return node;
  }

 private:
  void Advance() { token_ = lexer_.Next(); }
  bool Accept(Tok kind) {
    if (token_.kind != kind) return false;
    Advance();
    return true;
  }
  void Expect(Tok kind) {
    if (!Accept(kind)) Fail();
  }

  static void Want(const NodePtr& node, ValueType type) {
    if (node->Type() != type) Fail();
  }

  // Nesting (parentheses, arguments, repeated NOT or signs) deeper than any
  // key needs is refused rather than left to exhaust the stack: each level
  // costs several frames here and again when the tree is evaluated.
  static constexpr int kMaxNesting = 100;
  class Nested {
   public:
    explicit Nested(int& depth) : depth_(depth) {
      if (++depth_ > kMaxNesting) Fail();
    }
    ~Nested() { --depth_; }
    Nested(const Nested&) = delete;
    Nested& operator=(const Nested&) = delete;

   private:
    int& depth_;
  };

  static NodePtr Constant(NodePtr node, bool constant) {
    node->SetConstant(constant);
    return node;
  }

  NodePtr ParseOr() {
    Nested nested(depth_);
    NodePtr left = ParseAnd();
    while (Accept(Tok::Or)) {
      NodePtr right = ParseAnd();
      Want(left, ValueType::Logical);
      Want(right, ValueType::Logical);
      const bool constant = left->IsConstant() && right->IsConstant();
      left = Constant(std::make_unique<AndOr>(false, std::move(left), std::move(right)), constant);
    }
    return left;
  }

  NodePtr ParseAnd() {
    NodePtr left = ParseNot();
    while (Accept(Tok::And)) {
      NodePtr right = ParseNot();
      Want(left, ValueType::Logical);
      Want(right, ValueType::Logical);
      const bool constant = left->IsConstant() && right->IsConstant();
      left = Constant(std::make_unique<AndOr>(true, std::move(left), std::move(right)), constant);
    }
    return left;
  }

  NodePtr ParseNot() {
    if (Accept(Tok::Not)) {
      Nested nested(depth_);
      NodePtr arg = ParseNot();
      Want(arg, ValueType::Logical);
      const bool constant = arg->IsConstant();
      return Constant(std::make_unique<Not>(std::move(arg)), constant);
    }
    return ParseComparison();
  }

  NodePtr ParseComparison() {
    NodePtr left = ParseAdditive();
    CompareOp op;
    switch (token_.kind) {
      case Tok::Equal:
        op = CompareOp::Equal;
        break;
      case Tok::Exact:
        op = CompareOp::Exact;
        break;
      case Tok::NotEqual:
        op = CompareOp::NotEqual;
        break;
      case Tok::Less:
        op = CompareOp::Less;
        break;
      case Tok::LessEqual:
        op = CompareOp::LessEqual;
        break;
      case Tok::Greater:
        op = CompareOp::Greater;
        break;
      case Tok::GreaterEqual:
        op = CompareOp::GreaterEqual;
        break;
      case Tok::Dollar:
        op = CompareOp::Contains;
        break;
      default:
        return left;
    }
    Advance();
    NodePtr right = ParseAdditive();
    if (left->Type() != right->Type()) Fail();
    if (op == CompareOp::Contains) Want(left, ValueType::Character);
    const bool constant = left->IsConstant() && right->IsConstant();
    return Constant(std::make_unique<Compare>(op, std::move(left), std::move(right)), constant);
  }

  NodePtr ParseAdditive() {
    NodePtr left = ParseMultiplicative();
    while (token_.kind == Tok::Plus || token_.kind == Tok::Minus) {
      const bool plus = token_.kind == Tok::Plus;
      Advance();
      NodePtr right = ParseMultiplicative();
      const bool constant = left->IsConstant() && right->IsConstant();
      left = Constant(Additive(plus, std::move(left), std::move(right)), constant);
    }
    return left;
  }

  static NodePtr Additive(bool plus, NodePtr left, NodePtr right) {
    const ValueType a = left->Type(), b = right->Type();
    if (a == ValueType::Character && b == ValueType::Character)
      return std::make_unique<Concat>(std::move(left), std::move(right), !plus);
    if (a == ValueType::Numeric && b == ValueType::Numeric) {
      const int decimals = std::max(left->Decimals(), right->Decimals());
      return std::make_unique<Arith>(plus ? ArithOp::Add : ArithOp::Sub, std::move(left), std::move(right),
                                     ValueType::Numeric, decimals);
    }
    if (a == ValueType::Date && b == ValueType::Numeric)
      return std::make_unique<Arith>(plus ? ArithOp::Add : ArithOp::Sub, std::move(left), std::move(right),
                                     ValueType::Date, 0);
    if (a == ValueType::Numeric && b == ValueType::Date && plus)  // days + date
      return std::make_unique<Arith>(ArithOp::Add, std::move(right), std::move(left), ValueType::Date, 0);
    if (a == ValueType::Date && b == ValueType::Date && !plus)
      return std::make_unique<Arith>(ArithOp::Sub, std::move(left), std::move(right), ValueType::Numeric, 0);
    Fail();
  }

  NodePtr ParseMultiplicative() {
    NodePtr left = ParseUnary();
    while (token_.kind == Tok::Star || token_.kind == Tok::Slash || token_.kind == Tok::Percent) {
      const ArithOp op = token_.kind == Tok::Star    ? ArithOp::Mul
                         : token_.kind == Tok::Slash ? ArithOp::Div
                                                     : ArithOp::Mod;
      Advance();
      NodePtr right = ParseUnary();
      Want(left, ValueType::Numeric);
      Want(right, ValueType::Numeric);
      const bool constant = left->IsConstant() && right->IsConstant();
      const int decimals = std::min(op == ArithOp::Mul ? left->Decimals() + right->Decimals()
                                                       : std::max(left->Decimals(), right->Decimals()),
                                    8);
      left = Constant(
          std::make_unique<Arith>(op, std::move(left), std::move(right), ValueType::Numeric, decimals),
          constant);
    }
    return left;
  }

  NodePtr ParseUnary() {
    if (Accept(Tok::Plus)) {
      Nested nested(depth_);
      NodePtr arg = ParseUnary();
      Want(arg, ValueType::Numeric);
      return arg;
    }
    if (Accept(Tok::Minus)) {
      Nested nested(depth_);
      NodePtr arg = ParseUnary();
      Want(arg, ValueType::Numeric);
      const bool constant = arg->IsConstant();
      return Constant(std::make_unique<Negate>(std::move(arg)), constant);
    }
    return ParsePrimary();
  }

  NodePtr ParsePrimary() {
    Token t = std::move(token_);
    Advance();
    switch (t.kind) {
      case Tok::Number:
        return Constant(std::make_unique<NumLiteral>(t.number, t.decimals), true);
      case Tok::String:
        return Constant(std::make_unique<TextLiteral>(std::move(t.text)), true);
      case Tok::True:
        return Constant(std::make_unique<LogicalLiteral>(true), true);
      case Tok::False:
        return Constant(std::make_unique<LogicalLiteral>(false), true);
      case Tok::LParen: {
        NodePtr inner = ParseOr();
        Expect(Tok::RParen);
        return inner;
      }
      case Tok::Name:
        if (Accept(Tok::LParen)) return ParseCall(t.text);
        return FieldNode(t.text);
      default:
        Fail();
    }
  }

  NodePtr FieldNode(const std::string& upperName) const {
    for (const FieldInfo& f : fields_) {
      if (AsciiUpperCase(f.name) != upperName) continue;
      switch (f.type) {
        case 'C':
        case 'M':
          return std::make_unique<CharField>(f.offset, f.width);
        case 'N':
        case 'F':
          return std::make_unique<NumField>(f.offset, f.width, f.decimals);
        case 'I':
          return std::make_unique<IntField>(f.offset);
        case 'D':
          return std::make_unique<DateField>(f.offset);
        case 'L':
          return std::make_unique<LogicalField>(f.offset);
        default:
          Fail();
      }
    }
    Fail();
  }

  std::vector<NodePtr> ParseArguments() {
    std::vector<NodePtr> args;
    if (Accept(Tok::RParen)) return args;
    do {
      args.push_back(ParseOr());
    } while (Accept(Tok::Comma));
    Expect(Tok::RParen);
    return args;
  }

  // The value of a constant numeric argument, for widths known at compile time.
  static bool ConstantNumber(const NodePtr& node, double& value) {
    if (!node->IsConstant() || node->Type() != ValueType::Numeric) return false;
    value = node->Number(nullptr);
    return true;
  }

  static int ConstantInt(const NodePtr& node) {
    double value = 0;
    if (!ConstantNumber(node, value) || value < 0 || value > 255) Fail();
    return static_cast<int>(value);
  }

  NodePtr ParseCall(const std::string& name) {
    std::vector<NodePtr> args = ParseArguments();
    bool constant = true;
    for (const NodePtr& a : args) constant = constant && a->IsConstant();
    return Constant(Call(name, std::move(args)), constant);
  }

  static void Arity(const std::vector<NodePtr>& args, std::size_t least, std::size_t most) {
    if (args.size() < least || args.size() > most) Fail();
  }

  static NodePtr Call(const std::string& name, std::vector<NodePtr> args) {
    if (name == "UPPER" || name == "LOWER") {
      Arity(args, 1, 1);
      Want(args[0], ValueType::Character);
      return std::make_unique<MapCase>(std::move(args[0]), name == "UPPER" ? UpperTable() : LowerTable());
    }
    if (name == "TRIM" || name == "RTRIM" || name == "LTRIM" || name == "ALLTRIM") {
      Arity(args, 1, 1);
      Want(args[0], ValueType::Character);
      const TrimKind kind = name == "LTRIM"     ? TrimKind::Left
                            : name == "ALLTRIM" ? TrimKind::Both
                                                : TrimKind::Right;
      return std::make_unique<TrimText>(std::move(args[0]), kind);
    }
    if (name == "STR") return StrCall(std::move(args));
    if (name == "VAL") {
      Arity(args, 1, 1);
      Want(args[0], ValueType::Character);
      return std::make_unique<ValOf>(std::move(args[0]));
    }
    if (name == "SUBSTR") return SubstrCall(std::move(args));
    if (name == "LEFT" || name == "RIGHT") {
      Arity(args, 2, 2);
      Want(args[0], ValueType::Character);
      Want(args[1], ValueType::Numeric);
      int width = args[0]->Width();
      double count = 0;
      if (ConstantNumber(args[1], count)) width = std::clamp(Bounded(count), 0, width);
      return std::make_unique<LeftRight>(std::move(args[0]), std::move(args[1]), name == "RIGHT", width);
    }
    if (name == "DTOS") {
      Arity(args, 1, 1);
      Want(args[0], ValueType::Date);
      return std::make_unique<DtosOf>(std::move(args[0]));
    }
    if (name == "IIF") {
      Arity(args, 3, 3);
      Want(args[0], ValueType::Logical);
      if (args[1]->Type() != args[2]->Type()) Fail();
      return std::make_unique<Iif>(std::move(args[0]), std::move(args[1]), std::move(args[2]));
    }
    Fail();
  }

  // STR(n[, width[, decimals]]): width 10 and no decimals unless given; both
  // must be constants, since a key has one width.
  static NodePtr StrCall(std::vector<NodePtr> args) {
    Arity(args, 1, 3);
    Want(args[0], ValueType::Numeric);
    const int width = args.size() > 1 ? ConstantInt(args[1]) : 10;
    const int decimals = args.size() > 2 ? ConstantInt(args[2]) : 0;
    if (width < 1) Fail();
    return std::make_unique<StrOf>(std::move(args[0]), width, decimals);
  }

  static NodePtr SubstrCall(std::vector<NodePtr> args) {
    Arity(args, 2, 3);
    Want(args[0], ValueType::Character);
    Want(args[1], ValueType::Numeric);
    if (args.size() == 3) Want(args[2], ValueType::Numeric);
    const int textWidth = args[0]->Width();
    int width = textWidth;
    double start = 0, count = 0;
    if (ConstantNumber(args[1], start) && start >= 1) width = std::max(0, textWidth - Bounded(start) + 1);
    if (args.size() == 3 && ConstantNumber(args[2], count)) width = std::clamp(Bounded(count), 0, width);
    NodePtr countNode = args.size() == 3 ? std::move(args[2]) : nullptr;
    return std::make_unique<Substr>(std::move(args[0]), std::move(args[1]), std::move(countNode), width);
  }

  Lexer lexer_;
  const std::vector<FieldInfo>& fields_;
  Token token_;
  int depth_ = 0;
};

}  // namespace

struct Expression::Impl {
  NodePtr tree;                 // owns every node
  const Node* value = nullptr;  // the expression itself
  const Node* key = nullptr;    // its character key form
  int keyWidth = 0;
  int keyDecimals = 0;
};

Expression Expression::Compile(std::string_view text, const std::vector<FieldInfo>& fields) {
  auto impl = std::make_unique<Impl>();
  try {
    impl->tree = Parser(text, fields).ParseAll();
  } catch (const Invalid&) {
    throw Error("Invalid index expression [" + std::string(text) + "]");
  }
  Node* root = impl->tree.get();
  impl->value = root;
  switch (root->Type()) {
    case ValueType::Character:
      impl->keyWidth = root->Width();
      break;
    case ValueType::Numeric:
      // A bare numeric field keys in its own width; anything else in STR's 10.
      if (dynamic_cast<NumField*>(root) != nullptr) {
        impl->keyWidth = root->Width();
        impl->keyDecimals = root->Decimals();
      } else {
        impl->keyWidth = 10;
        impl->keyDecimals = std::min(root->Decimals(), 8);
      }
      impl->tree = std::make_unique<StrOf>(std::move(impl->tree), impl->keyWidth, impl->keyDecimals);
      break;
    case ValueType::Date:
      impl->keyWidth = 8;
      impl->tree = std::make_unique<DtosOf>(std::move(impl->tree));
      break;
    case ValueType::Logical:
      impl->keyWidth = 1;
      impl->tree = std::make_unique<LogicalText>(std::move(impl->tree));
      break;
  }
  impl->key = impl->tree.get();
  return Expression(std::move(impl));
}

Expression::Expression(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;
Expression::~Expression() = default;

ValueType Expression::Type() const { return impl_->value->Type(); }
int Expression::KeyWidth() const { return impl_->keyWidth; }
int Expression::KeyDecimals() const { return impl_->keyDecimals; }

void Expression::EvaluateKey(const char* record, std::string& out) const {
  const std::string_view text = impl_->key->Text(record);
  const std::size_t width = static_cast<std::size_t>(impl_->keyWidth);
  const std::size_t n = std::min(text.size(), width);
  out.resize(width);
  if (n > 0) std::memcpy(out.data(), text.data(), n);
  std::memset(out.data() + n, ' ', width - n);
}

double Expression::EvaluateNumber(const char* record) const {
  const Node& node = *impl_->value;
  return node.Type() == ValueType::Numeric || node.Type() == ValueType::Date ? node.Number(record) : 0;
}

bool Expression::EvaluateLogical(const char* record) const {
  const Node& node = *impl_->value;
  return node.Type() == ValueType::Logical && node.Logical(record);
}

}  // namespace velt::xbase
