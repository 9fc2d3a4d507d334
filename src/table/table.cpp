#include "table/table.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support/text.h"
#include "table/dbf_file.h"
#include "table/dbf_value.h"
#include "table/table_index.h"
#include "table/xbase_expr.h"

namespace velt {
namespace {

const char kClosedTable[] = "Cannot perform this operation on a closed table";
const char kClosedDataset[] = "Cannot perform this operation on a closed dataset";
const char kOpenTable[] = "Cannot perform this operation on an open table";
const char kReadOnly[] = "Cannot modify a read-only data set";
const char kNotEditing[] = "Dataset not in edit or insert mode";
const char kOutOfBounds[] = "Translate error. Value out of bounds";
const char kNeedsExclusive[] = "Table must be opened in Exclusive mode to perform this operation";

// Records whose flags a walk looks at between two questions to its stop check.
constexpr std::uint64_t kStopInterval = 1 << 16;

std::atomic<std::uint64_t> openSerials{0};

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::int32_t ReadInt32(const char* p) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(p[i]);
  return static_cast<std::int32_t>(v);
}

void WriteInt32(char* p, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Halves go to the even neighbour; values beyond the integer range are cut.
int RoundToInt(double value) {
  if (!std::isfinite(value)) return 0;
  double r = std::nearbyint(value);
  if (r >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (r <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(r);
}

// Leading blanks, an optional sign, decimal digits; nothing may follow.
bool ParseInt(std::string_view text, int& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// "Unable to open table: <path>" and, on a second line, why.
Error UnableToOpen(const std::string& path, const std::string& cause, ErrorKind kind) {
  return Error("Unable to open table: " + path + "\n" + cause, kind, cause);
}

// "Unable to write table: <path>" and, on a second line, the true cause (a
// full disk, no right, a read-only medium, a file held by another program).
Error UnableToWrite(const std::string& path) {
  const std::string cause = FileWriteProblem(path);
  return Error("Unable to write table: " + path + "\n" + cause, ErrorKind::Other, cause);
}

// A table that could not be written at all.
std::string CannotCreate(const std::string& path) { return "Cannot create file " + path; }

const std::string& NotAFileCause() {
  return VELT_ANSI("Это не обычный файл (канал, устройство или сокет), он не открывается.");
}

std::string TwiceCause(const std::string& field) {
  return VELT_ANSI("Поле ") + field + VELT_ANSI(" встречается в таблице дважды, такая таблица не читается.");
}

const std::string& HeldCause() {
  return VELT_ANSI("Файл занят другой программой или другим запуском конвертации и не заменён.");
}

bool IsTrue(char c) { return c == 'T' || c == 't' || c == 'Y' || c == 'y'; }
bool IsFalse(char c) { return c == 'F' || c == 'f' || c == 'N' || c == 'n'; }

}  // namespace

struct Table::Impl {
  enum class State { Browse, Append, Edit };

  explicit Impl(Table& owner) : owner(owner) {}

  Table& owner;
  dbf::DbfFile file;
  dbf::RecordCache cache;
  dbf::StopCheck stop;
  // A new table that CreateExec keeps locked for the next Open of its path.
  std::unique_ptr<platform::File> made;
  std::vector<FieldKind> kinds;
  std::unordered_map<std::string, int> fieldByName;  // upper-case name -> position
  std::uint64_t serial = 0;

  State state = State::Browse;
  std::string blank;     // a new record: blanks, binary integers 0
  std::string edit;      // the record being appended or edited, 1251
  std::string original;  // the edited record as it was
  std::vector<std::uint8_t> overflow;
  int overflowCount = 0;

  std::uint64_t recno = 0;  // 0: no current record
  bool eof = true;
  std::ptrdiff_t pos = -1;  // position in the active index
  struct Saved {
    std::uint64_t recno;
    std::ptrdiff_t pos;
    bool eof;
  } saved{0, -1, true};

  std::vector<std::unique_ptr<TableIndex>> indexes;
  int order = 0;
  bool scoped = false;
  std::string scopeLow, scopeHigh;
  std::size_t scopeBegin = 0, scopeEnd = 0;
  std::int64_t visibleCount = -1;  // physical order; -1 until counted

  // A table being defined by CreateNew / CreateField.
  bool creating = false;
  std::string createPath;
  std::vector<FieldInfo> createFields;

  // ---- Errors.
  std::string Prefixed(const std::string& text) const {
    return owner.objectName_.empty() ? text : owner.objectName_ + ": " + text;
  }
  void RequireOpenTable() const {
    if (!file.IsOpen()) throw Error(kClosedTable, ErrorKind::Closed);
  }
  void RequireOpenDataset() const {
    if (!file.IsOpen()) throw Error(Prefixed(kClosedDataset), ErrorKind::Closed);
  }
  void RequireWritable() const {
    if (file.ReadOnly()) throw Error(kReadOnly);
  }
  void RequireEditing() const {
    if (state == State::Browse) throw Error(Prefixed(kNotEditing));
  }
  [[noreturn]] void WriteFailed() const { throw UnableToWrite(file.Path()); }
  const FieldInfo& FieldAt(int index) const {
    const auto& fields = file.layout().fields;
    if (index < 0 || static_cast<std::size_t>(index) >= fields.size())
      throw Error(Prefixed("Field index out of range"));
    return fields[static_cast<std::size_t>(index)];
  }

  // ---- Records.
  std::uint32_t Length() const { return file.RecordLength(); }
  const char* Current() { return state != State::Browse ? edit.data() : cache.Get(recno); }
  std::string_view Raw(const FieldInfo& field) {
    return std::string_view(Current() + field.offset, static_cast<std::size_t>(field.width));
  }
  char* Target(int index) {
    RequireEditing();
    return edit.data() + FieldAt(index).offset;
  }
  void SetOverflow(int index, bool on) {
    auto& flag = overflow[static_cast<std::size_t>(index)];
    if (flag == static_cast<std::uint8_t>(on)) return;
    flag = on;
    overflowCount += on ? 1 : -1;
  }
  void ResetOverflow() {
    std::fill(overflow.begin(), overflow.end(), 0);
    overflowCount = 0;
  }

  // ---- Navigation.
  TableIndex* Active() const {
    return order > 0 ? indexes[static_cast<std::size_t>(order - 1)].get() : nullptr;
  }
  std::size_t OrderBegin() const { return scoped ? scopeBegin : 0; }
  std::size_t OrderEnd() const { return scoped ? scopeEnd : Active()->Size(); }

  bool Stopped() const { return stop && stop(); }

  // 0 when no visible record follows, or when the stop check ends the walk.
  std::uint64_t NextVisible(std::uint64_t from) {
    const std::uint64_t total = file.RecordCount();
    for (std::uint64_t r = std::max<std::uint64_t>(from, 1); r <= total; ++r) {
      if (cache.Get(r)[0] != dbf::kDeletedFlag) return r;
      if (r % kStopInterval == 0 && Stopped()) return 0;
    }
    return 0;
  }
  std::uint64_t PreviousVisible(std::uint64_t from) {
    for (std::uint64_t r = std::min(from, file.RecordCount()); r >= 1; --r) {
      if (cache.Get(r)[0] != dbf::kDeletedFlag) return r;
      if (r % kStopInterval == 0 && Stopped()) return 0;
    }
    return 0;
  }
  void StandAt(std::size_t position) {
    pos = static_cast<std::ptrdiff_t>(position);
    recno = Active()->RecNo(position);
    eof = false;
  }
  void StandNowhere() {
    recno = 0;
    pos = -1;
    eof = true;
  }

  void First() {
    if (Active() != nullptr) {
      if (OrderBegin() < OrderEnd())
        StandAt(OrderBegin());
      else
        StandNowhere();
      return;
    }
    recno = NextVisible(1);
    eof = recno == 0;
  }

  void Next() {
    if (eof) return;
    if (Active() != nullptr) {
      auto next = static_cast<std::size_t>(
          std::max<std::ptrdiff_t>(pos + 1, static_cast<std::ptrdiff_t>(OrderBegin())));
      if (next < OrderEnd())
        StandAt(next);
      else
        eof = true;
      return;
    }
    std::uint64_t r = NextVisible(recno + 1);
    if (r != 0)
      recno = r;
    else
      eof = true;
  }

  void RefreshScope() {
    if (!scoped || Active() == nullptr) return;
    auto [begin, end] = Active()->Range(scopeLow, scopeHigh);
    scopeBegin = begin;
    scopeEnd = end;
  }

  // After the current record changed: its entry in the active order (or the
  // place where it would be, so that Next goes on from there).
  void Reposition() {
    TableIndex* index = Active();
    if (index == nullptr || recno == 0) return;
    const char* record = Current();
    std::size_t found = index->Find(record, recno);
    pos = found != TableIndex::npos ? static_cast<std::ptrdiff_t>(found)
                                    : static_cast<std::ptrdiff_t>(index->LowerBound(record, recno)) - 1;
  }

  // Data-aware tables post a pending record before they move.
  void CheckBrowse() {
    if (state != State::Browse) Post();
  }

  // ---- Editing.
  void SavePosition() { saved = {recno, pos, eof}; }

  void Post() {
    RequireOpenDataset();
    RequireEditing();
    if (overflowCount > 0) throw Error(kOutOfBounds);
    if (state == State::Append) {
      if (!file.Append(edit.data())) WriteFailed();
      recno = file.RecordCount();
      cache.Store(recno, edit.data());
      for (auto& index : indexes) index->Insert(edit.data(), recno);
      if (visibleCount >= 0) ++visibleCount;
    } else if (edit != original) {
      if (!file.Write(recno, edit.data())) WriteFailed();
      cache.Store(recno, edit.data());
      for (auto& index : indexes) {
        index->Remove(original.data(), recno);
        index->Insert(edit.data(), recno);
      }
    }
    state = State::Browse;
    eof = false;
    RefreshScope();
    Reposition();
  }

  void Cancel() {
    if (state == State::Browse) return;
    state = State::Browse;
    ResetOverflow();
    recno = saved.recno;
    pos = saved.pos;
    eof = saved.eof;
  }

  // Everything that depends on the records in memory, after the file
  // changed under them (Pack, Zap, AppendFrom).
  void ReloadRecords() {
    bool all = cache.HoldsAll();
    cache.Attach(&file);
    if (all) cache.LoadAll();
    for (auto& index : indexes) index->Build(cache.AllRecords(), Length(), file.RecordCount());
    visibleCount = -1;
    RefreshScope();
  }

  std::int64_t CountVisible() {
    if (visibleCount >= 0) return visibleCount;
    // One pass over the deletion flags, in blocks, beside the record cache.
    const std::uint64_t total = file.RecordCount();
    const std::size_t length = Length();
    std::int64_t visible = 0;
    if (cache.HoldsAll()) {
      const char* records = cache.AllRecords();
      for (std::uint64_t r = 0; r < total; ++r) visible += records[r * length] != dbf::kDeletedFlag;
    } else {
      const std::uint64_t block = dbf::BlockRecords(length);
      std::vector<char> buffer(block * length);
      for (std::uint64_t first = 1; first <= total; first += block) {
        if (Stopped()) return visible;  // unfinished: not kept
        std::uint64_t got = file.ReadRaw(first, block, buffer.data());
        if (got < std::min(block, total - first + 1)) dbf::ThrowReadFailed(file.Path());
        for (std::uint64_t r = 0; r < got; ++r) visible += buffer[r * length] != dbf::kDeletedFlag;
      }
    }
    visibleCount = visible;
    return visible;
  }
};

// ---------------------------------------------------------------- FieldRef

std::string FieldRef::AsString() const { return table_->AsString(index_); }
int FieldRef::AsInteger() const { return table_->AsInteger(index_); }
double FieldRef::AsFloat() const { return table_->AsFloat(index_); }
DateTime FieldRef::AsDateTime() const { return table_->AsDateTime(index_); }
bool FieldRef::IsNull() const { return table_->IsNull(index_); }
void FieldRef::SetString(std::string_view value) const { table_->SetString(index_, value); }
void FieldRef::SetInteger(int value) const { table_->SetInteger(index_, value); }
void FieldRef::SetFloat(double value) const { table_->SetFloat(index_, value); }
void FieldRef::SetDateTime(DateTime value) const { table_->SetDateTime(index_, value); }
void FieldRef::Clear() const { table_->Clear(index_); }

// ---------------------------------------------------------------- Table

Table::Table(std::string objectName)
    : objectName_(std::move(objectName)), impl_(std::make_unique<Impl>(*this)) {}

// Closing here cannot tell of a batch that failed: whoever must know closes
// first.
Table::~Table() { impl_->file.Close(); }

void Table::SetTableName(const std::string& path) {
  if (Active()) throw Error(kOpenTable);
  tableName_ = path;
}

void Table::SetExclusive(bool exclusive) {
  if (Active()) throw Error(kOpenTable);
  exclusive_ = exclusive;
}

void Table::SetOEMTranslate(bool on) { oemTranslate_ = on; }
void Table::SetStopCheck(std::function<bool()> stop) { impl_->stop = std::move(stop); }
bool Table::Active() const { return impl_->file.IsOpen(); }
bool Table::ReadOnly() const { return impl_->file.ReadOnly(); }
std::uint8_t Table::LanguageDriver() const { return impl_->file.layout().language; }
std::uint64_t Table::OpenSerial() const { return impl_->serial; }

void Table::Open() {
  if (Active()) return;
  if (tableName_.empty()) throw Error(objectName_ + " : Missing TableName property");
  Impl& m = *impl_;
  std::unique_ptr<platform::File> made = std::move(m.made);
  const bool adopt = made && exclusive_ && made->Path() == tableName_;
  switch (adopt ? m.file.Adopt(std::move(made), oemTranslate_)
                : m.file.Open(tableName_, exclusive_, oemTranslate_)) {
    case dbf::OpenStatus::Ok:
      break;
    case dbf::OpenStatus::NotFound:
      throw Error("Table does not exist.\nFile or directory does not exist.\nFile: " + tableName_,
                  ErrorKind::CannotOpen);
    case dbf::OpenStatus::NotAFile:
      throw UnableToOpen(tableName_, NotAFileCause(), ErrorKind::Damaged);
    case dbf::OpenStatus::Locked:
      throw Error("Unable to open table: " + tableName_, ErrorKind::Held);
    default:
      throw Error("Unable to open table: " + tableName_, ErrorKind::CannotOpen);
  }
  if (std::string twice = dbf::DuplicateFieldName(m.file.layout()); !twice.empty()) {
    m.file.Close();
    throw UnableToOpen(tableName_, TwiceCause(twice), ErrorKind::Damaged);
  }
  m.cache.Attach(&m.file);
  const auto& fields = m.file.layout().fields;
  m.kinds.clear();
  m.fieldByName.clear();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    m.kinds.push_back(KindOf(fields[i]));
    m.fieldByName.emplace(AsciiUpperCase(fields[i].name), static_cast<int>(i));
  }
  m.blank.assign(m.Length(), ' ');
  for (const FieldInfo& field : fields)
    if (field.type == 'I') std::memset(m.blank.data() + field.offset, 0, 4);
  m.overflow.assign(fields.size(), 0);
  m.overflowCount = 0;
  m.state = Impl::State::Browse;
  m.indexes.clear();
  m.order = 0;
  m.scoped = false;
  m.visibleCount = -1;
  m.serial = ++openSerials;
  m.First();
}

void Table::Close() {
  Impl& m = *impl_;
  m.made.reset();
  const std::string path = m.file.Path();
  const bool written = m.file.Close();
  m.cache.Clear();
  m.cache.Attach(nullptr);
  m.indexes.clear();
  m.kinds.clear();
  m.fieldByName.clear();
  m.overflow.clear();
  m.overflowCount = 0;
  m.state = Impl::State::Browse;
  m.edit.clear();
  m.original.clear();
  m.order = 0;
  m.scoped = false;
  m.visibleCount = -1;
  m.StandNowhere();
  if (!written) throw UnableToWrite(path);
}

// ---- Navigation

void Table::First() {
  impl_->RequireOpenDataset();
  impl_->CheckBrowse();
  impl_->First();
}

void Table::Next() {
  impl_->RequireOpenDataset();
  impl_->CheckBrowse();
  impl_->Next();
}

void Table::GoTo(std::int64_t recno) {
  Impl& m = *impl_;
  m.RequireOpenDataset();
  m.CheckBrowse();
  if (recno < 1 || static_cast<std::uint64_t>(recno) > m.file.RecordCount() ||
      m.cache.Get(static_cast<std::uint64_t>(recno))[0] == dbf::kDeletedFlag) {
    m.StandNowhere();
    return;
  }
  m.recno = static_cast<std::uint64_t>(recno);
  m.eof = false;
  m.Reposition();
}

bool Table::Eof() const { return impl_->eof; }

std::int64_t Table::RecNo() const { return static_cast<std::int64_t>(impl_->recno); }

bool Table::IsDeleted() const {
  Impl& m = *impl_;
  if (!Active() || (m.recno == 0 && m.state == Impl::State::Browse)) return false;
  return m.Current()[0] == dbf::kDeletedFlag;
}

bool Table::IsDamaged() const {
  Impl& m = *impl_;
  if (!Active() || (m.recno == 0 && m.state == Impl::State::Browse)) return false;
  const char flag = m.Current()[0];
  return flag != ' ' && flag != dbf::kDeletedFlag;
}

std::int64_t Table::Count() const {
  Impl& m = *impl_;
  if (!Active()) return 0;
  if (m.Active() != nullptr) return static_cast<std::int64_t>(m.OrderEnd() - m.OrderBegin());
  return m.CountVisible();
}

std::int64_t Table::PhysicalCount() const { return static_cast<std::int64_t>(impl_->file.RecordCount()); }
std::int64_t Table::DeclaredCount() const { return impl_->file.layout().recordCount; }
std::int64_t Table::WholeRecordsInFile() const {
  return static_cast<std::int64_t>(impl_->file.WholeRecordsAtOpen());
}

// ---- Fields

int Table::FieldCount() const { return static_cast<int>(impl_->file.layout().fields.size()); }
const FieldInfo& Table::Field(int index) const { return impl_->FieldAt(index); }
const std::vector<FieldInfo>& Table::Fields() const { return impl_->file.layout().fields; }
FieldKind Table::Kind(int index) const {
  impl_->FieldAt(index);
  return impl_->kinds[static_cast<std::size_t>(index)];
}

int Table::FieldIndex(std::string_view name) const {
  auto found = impl_->fieldByName.find(AsciiUpperCase(name));
  return found == impl_->fieldByName.end() ? -1 : found->second;
}

bool Table::FieldExists(std::string_view name) const { return FieldIndex(name) >= 0; }

FieldRef Table::FieldByName(std::string_view name) {
  int index = FieldIndex(name);
  if (index < 0) throw Error(impl_->Prefixed("Field '" + std::string(name) + "' not found"));
  return FieldRef(*this, index);
}

// ---- Reading

const char* Table::CurrentRecord() const { return impl_->Current(); }

std::string_view Table::TextView(int index) const { return TextView(impl_->Current(), index); }

std::string_view Table::TextView(const char* record, int index) const {
  const FieldInfo& field = impl_->FieldAt(index);
  std::string_view raw(record + field.offset, static_cast<std::size_t>(field.width));
  return field.type == 'C' || field.type == 'M' ? dbf::TrimRight(raw) : raw;
}

std::string Table::AsString(int index) const { return AsString(impl_->Current(), index); }

std::string Table::AsString(const char* record, int index) const {
  const FieldInfo& field = impl_->FieldAt(index);
  std::string_view raw(record + field.offset, static_cast<std::size_t>(field.width));
  switch (field.type) {
    case 'N':
    case 'F': {
      // Plain digits without a leading zero read back as themselves.
      if (const std::string_view digits = dbf::PlainDigits(raw); !digits.empty()) return std::string(digits);
      double value;
      return dbf::ParseNumber(raw, value) ? dbf::NumberText(value) : std::string();
    }
    case 'D': {
      DateTime value;
      return dbf::ParseDate(raw, value) ? dbf::DateText(value) : std::string();
    }
    case 'L':
      return IsTrue(raw[0]) ? "T" : (IsFalse(raw[0]) ? "F" : "");
    case 'I':
      return std::to_string(ReadInt32(raw.data()));
    case 'M': {  // the memo's block number, right-justified on disk
      std::string_view text = dbf::TrimRight(raw);
      while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
      return std::string(text);
    }
    default:
      return std::string(dbf::TrimRight(raw));
  }
}

int Table::AsInteger(int index) const { return AsInteger(impl_->Current(), index); }

int Table::AsInteger(const char* record, int index) const {
  const FieldInfo& field = impl_->FieldAt(index);
  std::string_view raw(record + field.offset, static_cast<std::size_t>(field.width));
  switch (field.type) {
    case 'N':
    case 'F': {
      double value;
      dbf::ParseNumber(raw, value);
      return RoundToInt(value);
    }
    case 'D': {
      DateTime value;
      return dbf::ParseDate(raw, value) ? static_cast<int>(value) : 0;
    }
    case 'L':
      return IsTrue(raw[0]) ? 1 : 0;
    case 'I':
      return ReadInt32(raw.data());
    default: {
      std::string_view text = dbf::TrimRight(raw);
      int value = 0;
      if (text.empty()) return 0;
      if (!ParseInt(text, value)) throw Error("'" + std::string(text) + "' is not a valid integer value");
      return value;
    }
  }
}

double Table::AsFloat(int index) const {
  const FieldInfo& field = impl_->FieldAt(index);
  std::string_view raw = impl_->Raw(field);
  switch (field.type) {
    case 'N':
    case 'F': {
      double value;
      dbf::ParseNumber(raw, value);
      return value;
    }
    case 'D':
    case 'L':
    case 'I':
      return AsInteger(index);
    default: {
      std::string_view text = dbf::TrimRight(raw);
      double value = 0;
      if (text.empty()) return 0;
      if (!dbf::TryParseNumber(text, value))
        throw Error("'" + std::string(text) + "' is not a valid floating point value");
      return value;
    }
  }
}

DateTime Table::AsDateTime(int index) const {
  const FieldInfo& field = impl_->FieldAt(index);
  std::string_view raw = impl_->Raw(field);
  switch (field.type) {
    case 'D': {
      DateTime value = 0;
      return dbf::ParseDate(raw, value) ? value : 0;
    }
    case 'C':
    case 'M': {
      std::string_view text = dbf::TrimRight(raw);
      DateTime value = 0;
      if (text.empty()) return 0;
      if (!dbf::ParseDateText(text, value)) throw Error("'" + std::string(text) + "' is not a valid date");
      return value;
    }
    default:
      return AsFloat(index);
  }
}

bool Table::IsNull(int index) const {
  const FieldInfo& field = impl_->FieldAt(index);
  if (field.type == 'I') return false;
  return dbf::IsBlank(impl_->Raw(field));
}

// ---- Writing

void Table::SetString(int index, std::string_view value) {
  char* target = impl_->Target(index);
  const FieldInfo& field = Field(index);
  const auto width = static_cast<std::size_t>(field.width);
  switch (field.type) {
    case 'N':
    case 'F':
    case 'I': {
      if (dbf::IsBlank(value)) return Clear(index);
      double number;
      if (!dbf::TryParseNumber(value, number)) {
        bool integer = field.type == 'I' || KindOf(field) == FieldKind::Integer;
        throw Error("'" + std::string(value) + "' is not a valid " +
                    (integer ? "integer" : "floating point") + " value");
      }
      return SetFloat(index, number);
    }
    case 'D': {
      if (dbf::IsBlank(value)) return Clear(index);
      DateTime date;
      if (!dbf::ParseDateText(value, date)) throw Error("'" + std::string(value) + "' is not a valid date");
      return SetDateTime(index, date);
    }
    case 'L':
      target[0] = value.empty() ? ' ' : (IsTrue(value[0]) ? 'T' : (IsFalse(value[0]) ? 'F' : '?'));
      break;
    default: {
      std::size_t n = std::min(width, value.size());
      std::memcpy(target, value.data(), n);
      std::memset(target + n, ' ', width - n);
    }
  }
  impl_->SetOverflow(index, false);
}

void Table::SetInteger(int index, int value) {
  char* target = impl_->Target(index);
  const FieldInfo& field = Field(index);
  switch (field.type) {
    case 'N':
    case 'F':
      impl_->SetOverflow(index, !dbf::FormatInteger(value, field.width, field.decimals, target));
      return;
    case 'I':
      WriteInt32(target, value);
      break;
    case 'D':
      return SetDateTime(index, value);
    case 'L':
      target[0] = value != 0 ? 'T' : 'F';
      break;
    default: {
      char text[16];
      auto end = std::to_chars(text, text + sizeof text, value).ptr;
      return SetString(index, std::string_view(text, static_cast<std::size_t>(end - text)));
    }
  }
  impl_->SetOverflow(index, false);
}

void Table::SetFloat(int index, double value) {
  char* target = impl_->Target(index);
  const FieldInfo& field = Field(index);
  switch (field.type) {
    case 'N':
    case 'F':
      impl_->SetOverflow(index, !dbf::FormatNumber(value, field.width, field.decimals, target));
      return;
    case 'I': {
      double r = std::nearbyint(value);
      bool fits = std::isfinite(r) && r >= std::numeric_limits<std::int32_t>::min() &&
                  r <= std::numeric_limits<std::int32_t>::max();
      if (fits) WriteInt32(target, static_cast<std::int32_t>(r));
      impl_->SetOverflow(index, !fits);
      return;
    }
    case 'D':
      return SetDateTime(index, value);
    case 'L':
      target[0] = value != 0 ? 'T' : 'F';
      break;
    default:
      return SetString(index, dbf::NumberText(value));
  }
  impl_->SetOverflow(index, false);
}

void Table::SetDateTime(int index, DateTime value) {
  char* target = impl_->Target(index);
  const FieldInfo& field = Field(index);
  switch (field.type) {
    case 'D':
      impl_->SetOverflow(index, !dbf::FormatDate(value, target));
      return;
    case 'C':
    case 'M':
      return SetString(index, dbf::DateText(value));
    default:
      return SetFloat(index, value);
  }
}

void Table::Clear(int index) {
  char* target = impl_->Target(index);
  const FieldInfo& field = Field(index);
  std::memset(target, field.type == 'I' ? 0 : ' ', static_cast<std::size_t>(field.width));
  impl_->SetOverflow(index, false);
}

// ---- Editing

void Table::Append() {
  Impl& m = *impl_;
  m.RequireOpenDataset();
  m.RequireWritable();
  m.CheckBrowse();
  m.SavePosition();
  m.edit = m.blank;
  m.ResetOverflow();
  m.state = Impl::State::Append;
}

void Table::Edit() {
  Impl& m = *impl_;
  m.RequireOpenDataset();
  m.RequireWritable();
  if (m.state != Impl::State::Browse) return;
  if (m.recno == 0) return Append();  // nothing to edit: a new record, as data-aware tables do
  const char* record = m.Current();
  m.edit.assign(record, m.Length());
  m.original = m.edit;
  m.SavePosition();
  m.ResetOverflow();
  m.state = Impl::State::Edit;
}

void Table::Post() { impl_->Post(); }

void Table::Cancel() { impl_->Cancel(); }

bool Table::Modified() const { return impl_->state != Impl::State::Browse; }

char* Table::EditBuffer() {
  impl_->RequireEditing();
  return impl_->edit.data();
}

void Table::SetBatchedPosts(bool on) {
  Impl& m = *impl_;
  if (!m.file.IsOpen()) return;
  if (!on) FlushPosts();
  m.file.GatherAppends(on);
}

void Table::FlushPosts() {
  Impl& m = *impl_;
  if (m.file.IsOpen() && !m.file.Flush()) {
    // The dropped records are no longer in the table.
    m.cache.Attach(&m.file);
    m.visibleCount = -1;
    m.StandNowhere();
    m.WriteFailed();
  }
}

void Table::MoveTo(const std::string& target) {
  Impl& m = *impl_;
  m.RequireOpenDataset();
  FlushPosts();
  if (!m.file.MoveTo(target)) m.WriteFailed();
  tableName_ = target;
}

void Table::Delete() {
  Impl& m = *impl_;
  m.RequireOpenDataset();
  m.RequireWritable();
  if (m.state == Impl::State::Append) return m.Cancel();
  m.Cancel();
  if (m.recno == 0) throw Error(m.Prefixed("Cannot perform this operation on an empty dataset"));
  std::string record(m.Current(), m.Length());
  if (record[0] != dbf::kDeletedFlag) {
    if (!m.file.WriteFlag(m.recno, dbf::kDeletedFlag)) m.WriteFailed();
    m.cache.StoreFlag(m.recno, dbf::kDeletedFlag);
    for (auto& index : m.indexes) index->Remove(record.data(), m.recno);
    if (m.visibleCount > 0) --m.visibleCount;
    m.RefreshScope();
  }

  // On to the next visible record; after the last one, back to the one
  // before it, with Eof set.
  if (TableIndex* index = m.Active()) {
    std::size_t next = std::max(index->LowerBound(record.data(), m.recno), m.OrderBegin());
    if (next < m.OrderEnd()) {
      m.StandAt(next);
    } else if (m.OrderBegin() < m.OrderEnd()) {
      m.StandAt(m.OrderEnd() - 1);
      m.eof = true;
    } else {
      m.StandNowhere();
    }
    return;
  }
  if (std::uint64_t next = m.NextVisible(m.recno + 1)) {
    m.recno = next;
    m.eof = false;
  } else {
    m.recno = m.PreviousVisible(m.recno - 1);
    m.eof = true;
  }
}

void Table::InsertBlank() {
  Impl& m = *impl_;
  Append();
  m.Post();
}

void Table::Pack() {
  Impl& m = *impl_;
  m.RequireOpenTable();
  if (!exclusive_) throw Error(kNeedsExclusive);
  m.RequireWritable();
  m.CheckBrowse();
  if (!m.file.Pack(m.stop)) throw Error("Unable to pack table: " + tableName_);
  m.ReloadRecords();
  m.First();
}

void Table::Zap() {
  Impl& m = *impl_;
  m.RequireOpenDataset();
  if (!exclusive_) throw Error(kNeedsExclusive);
  m.RequireWritable();
  m.Cancel();
  if (!m.file.Truncate()) m.WriteFailed();
  m.ReloadRecords();
  m.visibleCount = 0;
  m.StandNowhere();
}

// ---- Indexes

int Table::Index(const std::string& file, const std::string& keyExpression, int option, bool descending,
                 const std::string& condition) {
  Impl& m = *impl_;
  m.RequireOpenTable();
  m.CheckBrowse();
  xbase::Expression key = xbase::Expression::Compile(keyExpression, Fields());
  std::optional<xbase::Expression> filter;
  if (!dbf::IsBlank(condition)) {
    filter = xbase::Expression::Compile(condition, Fields());
    if (filter->Type() != xbase::ValueType::Logical)
      throw Error("Invalid index expression [" + condition + "]");
  }
  // Option 1 asks for a unique index (the first record of each key).
  auto index =
      std::make_unique<TableIndex>(std::move(key), std::move(filter), descending, option == 1, oemTranslate_);
  // A header counts at most 2^32 - 1 records: their numbers fit the index's.
  const auto count = static_cast<std::uint32_t>(m.file.RecordCount());
  if (m.cache.HoldsAll()) {
    index->Build(m.cache.AllRecords(), m.Length(), count);
  } else {
    // Read in blocks: the keys are sorted and written before the records
    // are all held, which keeps the peak memory of a large table low.
    const std::size_t length = m.Length();
    const std::uint64_t block = dbf::BlockRecords(length);
    dbf::Buffer buffer(block * length);
    index->BeginBuild(count);
    for (std::uint64_t first = 1; first <= count; first += block) {
      std::uint64_t got = m.file.Read(first, block, buffer.data());
      if (got < std::min(block, count - first + 1)) dbf::ThrowReadFailed(m.file.Path());
      for (std::uint64_t r = 0; r < got; ++r)
        index->AddRecord(buffer.data() + r * length, static_cast<std::uint32_t>(first + r));
    }
    index->FinishBuild();
  }
  index->WriteNtx(file, keyExpression, condition);
  // Lookups go to records in any order: from now on every record is held.
  if (!m.cache.HoldsAll()) m.cache.LoadAll();
  m.indexes.push_back(std::move(index));
  return static_cast<int>(m.indexes.size());
}

void Table::SetOrder(int order) {
  Impl& m = *impl_;
  m.RequireOpenTable();
  m.CheckBrowse();
  if (order < 0 || static_cast<std::size_t>(order) > m.indexes.size())
    throw Error(m.Prefixed("Invalid index order " + std::to_string(order)));
  bool stay = !m.eof && m.recno != 0;
  m.order = order;
  m.scoped = false;
  if (!stay) return m.First();
  // The current record stays current when the new order holds it.
  if (TableIndex* index = m.Active()) {
    std::size_t found = index->Find(m.Current(), m.recno);
    if (found == TableIndex::npos) return m.First();
    m.pos = static_cast<std::ptrdiff_t>(found);
  }
}

void Table::SetScope(std::string_view low, std::string_view high) {
  Impl& m = *impl_;
  m.RequireOpenTable();
  m.CheckBrowse();
  if (m.Active() == nullptr) return m.First();  // physical order has no keys to restrict
  m.scoped = true;
  m.scopeLow.assign(low);
  m.scopeHigh.assign(high);
  m.RefreshScope();
  m.First();
}

RecordRange Table::Find(std::string_view key) const {
  Impl& m = *impl_;
  m.RequireOpenTable();
  const TableIndex* index = m.Active();
  if (index == nullptr) return {};
  auto [first, last] = index->Range(key, key);
  return RecordRange(index, m.cache.AllRecords(), m.Length(), first, last);
}

RecordRange Table::All() const {
  Impl& m = *impl_;
  m.RequireOpenTable();
  const TableIndex* index = m.Active();
  if (index == nullptr) return {};
  return RecordRange(index, m.cache.AllRecords(), m.Length(), 0, index->Size());
}

const char* RecordRange::operator[](std::size_t i) const {
  return records_ + static_cast<std::size_t>(index_->RecNo(first_ + i) - 1) * length_;
}

std::uint32_t RecordRange::RecNo(std::size_t i) const { return index_->RecNo(first_ + i); }

bool RecordRange::KeyMatches(std::size_t i, std::string_view key) const {
  return index_->KeyMatches(first_ + i, key);
}

void Table::CancelScope() {
  Impl& m = *impl_;
  m.RequireOpenTable();
  m.CheckBrowse();
  m.scoped = false;
  m.First();
}

// ---- Creation and copying

void Table::CreateNew(const std::string& file, int /*driverType*/, int fieldCount) {
  Impl& m = *impl_;
  m.made.reset();
  m.creating = false;
  m.createFields.clear();
  if (file.empty()) throw Error(CannotCreate(file), ErrorKind::Unavailable);
  m.creating = true;
  m.createPath = file;
  m.createFields.reserve(static_cast<std::size_t>(std::max(0, fieldCount)));
}

void Table::CreateField(std::string_view name, std::string_view type, int width, int decimals) {
  if (name.empty() || !IsAsciiLetter(name[0]))
    throw Error("Invalid field name. Field names must begin with a letter");
  if (type.empty()) throw Error("Invalid field type");
  if (width <= 0) throw Error("Invalid field length.");
  FieldInfo field;
  field.name = AsciiUpperCase(name.substr(0, 10));
  field.type = AsciiUpperCase(type.substr(0, 1))[0];
  field.decimals = 0;
  switch (field.type) {
    case 'C':
      field.width = std::min(width, 0xFFFF);
      break;
    case 'N':
    case 'F':
      field.width = std::min(width, 255);
      field.decimals = std::clamp(decimals, 0, std::max(0, field.width - 1));
      break;
    case 'D':
      field.width = 8;
      break;
    case 'L':
      field.width = 1;
      break;
    case 'I':
      field.width = 4;
      break;
    case 'M':
      field.width = 10;
      break;
    default:
      throw Error("Invalid field type");
  }
  impl_->createFields.push_back(std::move(field));
}

void Table::CreateExec() {
  Impl& m = *impl_;
  if (!m.creating) throw Error(CannotCreate(m.createPath), ErrorKind::Unavailable);
  m.creating = false;
  dbf::Layout layout;
  const bool planned = dbf::PlanLayout(m.createFields, oemTranslate_ ? dbf::kLanguageCp866 : 0, layout);
  m.createFields.clear();
  if (!planned) throw Error(CannotCreate(m.createPath), ErrorKind::Unavailable);
  m.made.reset();
  switch (dbf::WriteEmptyTable(m.createPath, layout, exclusive_ ? &m.made : nullptr)) {
    case dbf::CreateStatus::Ok:
      return;
    case dbf::CreateStatus::Held:
      throw UnableToOpen(m.createPath, HeldCause(), ErrorKind::Held);
    case dbf::CreateStatus::NotAFile:
      throw UnableToOpen(m.createPath, NotAFileCause(), ErrorKind::Damaged);
    default:
      throw Error(CannotCreate(m.createPath), ErrorKind::Unavailable);
  }
}

namespace {

// How one field of an AppendFrom target is filled from its source.
struct FieldCopy {
  const FieldInfo* from;
  const FieldInfo* to;
  bool same;  // same type and shape: the bytes are copied as they are
};

void CopyField(const FieldCopy& copy, const char* source, char* target) {
  const FieldInfo& from = *copy.from;
  const FieldInfo& to = *copy.to;
  std::string_view raw(source + from.offset, static_cast<std::size_t>(from.width));
  char* out = target + to.offset;
  const auto width = static_cast<std::size_t>(to.width);
  if (copy.same) {
    std::memcpy(out, raw.data(), width);
    return;
  }
  std::string_view text = from.type == 'I' ? std::string_view() : dbf::TrimRight(raw);
  std::string number;
  if (from.type == 'I') {
    number = std::to_string(ReadInt32(raw.data()));
    text = number;
  }
  switch (to.type) {
    case 'N':
    case 'F': {
      double value;
      if (!dbf::TryParseNumber(text, value) || !dbf::FormatNumber(value, to.width, to.decimals, out))
        std::memset(out, ' ', width);
      break;
    }
    case 'I': {
      double value = 0;
      dbf::TryParseNumber(text, value);
      WriteInt32(out, static_cast<std::int32_t>(RoundToInt(value)));
      break;
    }
    case 'D': {
      DateTime date;
      bool ok = from.type == 'D' ? dbf::ParseDate(raw, date) : dbf::ParseDateText(text, date);
      if (!ok || !dbf::FormatDate(date, out)) std::memset(out, ' ', width);
      break;
    }
    case 'L':
      out[0] = text.empty() ? ' ' : text[0];
      break;
    default: {
      if (from.type != 'C' && from.type != 'M') {
        while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
      }
      std::size_t n = std::min(width, text.size());
      std::memcpy(out, text.data(), n);
      std::memset(out + n, ' ', width - n);
    }
  }
}

}  // namespace

void Table::AppendFrom(const std::string& source, int /*sourceType*/, const std::string& condition,
                       const CancelToken* stop) {
  Impl& m = *impl_;
  m.RequireOpenDataset();
  m.RequireWritable();
  m.CheckBrowse();
  dbf::DbfFile from;
  switch (from.OpenForReading(source, oemTranslate_)) {
    case dbf::OpenStatus::Ok:
      break;
    case dbf::OpenStatus::Invalid:
      throw Error("Unable to open table: " + source, ErrorKind::CannotOpen);
    case dbf::OpenStatus::NotAFile:
      throw UnableToOpen(source, NotAFileCause(), ErrorKind::Damaged);
    default:
      throw Error("Unable to open table: " + source, ErrorKind::Unavailable);
  }
  // Fields are matched by name: a name given twice has no one meaning.
  if (std::string twice = dbf::DuplicateFieldName(from.layout()); !twice.empty())
    throw UnableToOpen(source, TwiceCause(twice), ErrorKind::Damaged);
  std::optional<xbase::Expression> filter;
  if (!dbf::IsBlank(condition)) filter = xbase::Expression::Compile(condition, from.layout().fields);

  std::vector<FieldCopy> plan;
  for (const FieldInfo& to : Fields()) {
    for (const FieldInfo& field : from.layout().fields) {
      if (!EqualIgnoringAsciiCase(field.name, to.name)) continue;
      bool same = field.type == to.type && field.width == to.width &&
                  (field.decimals == to.decimals || field.type == 'C');
      plan.push_back({&field, &to, same});
      break;
    }
  }

  // Source records are read and target records written a block at a time;
  // the bytes are copied without translation.
  const std::size_t inLength = from.RecordLength(), outLength = m.Length();
  const std::uint64_t block = dbf::BlockRecords(inLength);
  std::vector<char> in(block * inLength), out(block * outLength);
  std::string translated;
  std::uint64_t appended = 0;
  for (std::uint64_t first = 1; first <= from.RecordCount(); first += block) {
    if (stop != nullptr && stop->Requested()) break;
    std::uint64_t got = from.ReadRaw(first, block, in.data());
    if (got < std::min(block, from.RecordCount() - first + 1)) dbf::ThrowReadFailed(from.Path());
    std::uint64_t made = 0;
    for (std::uint64_t r = 0; r < got; ++r) {
      const char* record = in.data() + r * inLength;
      if (record[0] == dbf::kDeletedFlag) continue;
      if (filter) {
        translated.assign(record, inLength);
        from.ToMemory(translated.data(), 1);
        if (!filter->EvaluateLogical(translated.data())) continue;
      }
      char* target = out.data() + made * outLength;
      std::memcpy(target, m.blank.data(), outLength);
      target[0] = record[0];  // a damaged flag stays damaged: no junk passes as a live record
      for (const FieldCopy& copy : plan) CopyField(copy, record, target);
      ++made;
    }
    if (made > 0 && !m.file.AppendRaw(out.data(), made)) m.WriteFailed();
    appended += made;
  }
  if (appended > 0) {
    std::int64_t visible = m.visibleCount;
    m.ReloadRecords();
    if (visible >= 0) m.visibleCount = visible + static_cast<std::int64_t>(appended);
  }
}

void Table::CopyStructure(const std::string& target) {
  bool wasOpen = Active();
  if (!wasOpen) Open();
  dbf::Layout layout;
  bool ok = dbf::PlanLayout(Fields(), LanguageDriver(), layout) &&
            dbf::WriteEmptyTable(target, layout) == dbf::CreateStatus::Ok;
  if (!wasOpen) Close();
  if (!ok) throw Error(CannotCreate(target), ErrorKind::Unavailable);
}

}  // namespace velt
