#include "table/dbf_file.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

#include "support/background_worker.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/text.h"

namespace velt::dbf {
namespace {

constexpr std::uint32_t kMaxFields = 2048;
// A batch of gathered appends: half a megabyte, about 420 output records.
// One batch gathers while the one before is written, so that a run killed
// outright loses no more than a megabyte of records.
constexpr std::size_t kBatchBytes = 1 << 19;

std::uint32_t Le16(const char* p) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(p[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) << 8;
}

std::uint32_t Le32(const char* p) { return Le16(p) | Le16(p + 2) << 16; }

void PutLe16(char* p, std::uint32_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>((v >> 8) & 0xFF);
}

void PutLe32(char* p, std::uint32_t v) {
  PutLe16(p, v & 0xFFFF);
  PutLe16(p + 2, v >> 16);
}

bool KnownVersion(std::uint8_t version) {
  switch (version) {
    case 0x03:
    case 0x30:
    case 0x31:
    case 0x83:
    case 0x8B:
    case 0xF5:
      return true;
    default:
      return false;
  }
}

bool KnownType(char type) { return std::strchr("CNFDLIM", type) != nullptr && type != '\0'; }

// The most records a header can count.
constexpr std::uint64_t kMaxRecords = 0xFFFFFFFFu;

// Date bytes and record count: header bytes 1 to 7.
void PutStamp(char* p, const platform::LocalTime& date, std::uint64_t count) {
  p[0] = static_cast<char>((date.year - 1900) & 0xFF);
  p[1] = static_cast<char>(date.month);
  p[2] = static_cast<char>(date.day);
  PutLe32(p + 3, static_cast<std::uint32_t>(count));
}

// Code page translation of the bytes that need it (the translation passes
// over words of plain ASCII itself).
void TranslateText(char* text, std::size_t length, void (*translate)(char*, std::size_t)) {
  translate(text, length);
}

// An append that failed part-way (a full disk) may have left part of a record
// after the counted ones: the file is cut back to `end`, the end of its
// counted records, and gets its end mark again, so that no reader meets a
// broken record. Best effort: the append has failed already.
void CutToCounted(platform::File& file, std::uint64_t end) {
  const char mark = kFileEnd;
  if (file.Truncate(end)) file.WriteAt(end, &mark, 1);
}

// Makes sure that the end mark stands at `end`, where the next records go: a
// file from another writer (or one cut short) may lack it.
bool EndMarkAt(platform::File& file, std::uint64_t end) {
  char at = 0;
  if (file.ReadAt(end, &at, 1) == 1 && at == kFileEnd) return true;
  const char mark = kFileEnd;
  return file.WriteAt(end, &mark, 1);
}

}  // namespace

std::uint32_t HeaderLengthOf(const char* prefix) { return Le16(prefix + 8); }

bool ParseHeader(std::string_view header, Layout& layout) {
  if (header.size() < kHeaderPrefix) return false;
  const char* h = header.data();
  Layout out;
  out.version = static_cast<std::uint8_t>(h[0]);
  out.recordCount = Le32(h + 4);
  out.headerLength = Le16(h + 8);
  out.recordLength = Le16(h + 10);
  out.language = static_cast<std::uint8_t>(h[29]);
  if (!KnownVersion(out.version)) return false;
  if (out.headerLength < kHeaderPrefix + 32 || header.size() < out.headerLength) return false;
  if (out.recordLength < 2) return false;

  std::uint32_t offset = 1;  // byte 0 is the deletion flag
  for (std::uint32_t pos = kHeaderPrefix; pos < out.headerLength && h[pos] != kHeaderEnd; pos += 32) {
    if (pos + 32 > out.headerLength || out.fields.size() >= kMaxFields) return false;
    const char* d = h + pos;
    FieldInfo field;
    for (int i = 0; i < 11 && d[i] != '\0'; ++i) field.name += d[i];
    while (!field.name.empty() && field.name.back() == ' ') field.name.pop_back();
    field.type = AsciiUpper(d[11]);
    field.width = static_cast<int>(static_cast<unsigned char>(d[16]));
    field.decimals = static_cast<int>(static_cast<unsigned char>(d[17]));
    if (field.type == 'C') {  // long character fields keep the high byte of the width in the decimals
      field.width += field.decimals * 256;
      field.decimals = 0;
    }
    if (field.name.empty() || !KnownType(field.type) || field.width == 0) return false;
    if ((field.type == 'D' && field.width != 8) || (field.type == 'I' && field.width != 4)) return false;
    field.offset = static_cast<int>(offset);
    offset += static_cast<std::uint32_t>(field.width);
    if (offset > out.recordLength) return false;
    out.fields.push_back(std::move(field));
  }
  if (out.fields.empty()) return false;
  layout = std::move(out);
  return true;
}

bool PlanLayout(const std::vector<FieldInfo>& fields, std::uint8_t language, Layout& layout) {
  if (fields.empty() || fields.size() > kMaxFields) return false;
  Layout out;
  out.language = language;
  std::uint32_t offset = 1;
  for (FieldInfo field : fields) {
    field.offset = static_cast<int>(offset);
    offset += static_cast<std::uint32_t>(field.width);
    out.fields.push_back(std::move(field));
  }
  out.recordLength = offset;
  out.headerLength = static_cast<std::uint32_t>(kHeaderPrefix + 32 * fields.size() + 1);
  if (out.recordLength > 0xFFFF || out.headerLength > 0xFFFF) return false;
  layout = std::move(out);
  return true;
}

std::string BuildHeader(const Layout& layout, const platform::LocalTime& date) {
  std::string header(layout.headerLength, '\0');
  char* h = header.data();
  h[0] = static_cast<char>(layout.version);
  PutStamp(h + 1, date, layout.recordCount);
  PutLe16(h + 8, layout.headerLength);
  PutLe16(h + 10, layout.recordLength);
  h[29] = static_cast<char>(layout.language);
  std::size_t pos = kHeaderPrefix;
  for (const FieldInfo& field : layout.fields) {
    char* d = h + pos;
    std::memcpy(d, field.name.data(), std::min<std::size_t>(field.name.size(), 10));
    d[11] = field.type;
    d[16] = static_cast<char>(field.width & 0xFF);
    d[17] = static_cast<char>(field.type == 'C' ? (field.width >> 8) & 0xFF : field.decimals);
    pos += 32;
  }
  h[pos] = kHeaderEnd;
  return header;
}

std::string DuplicateFieldName(const Layout& layout) {
  std::vector<std::string> names;
  for (const FieldInfo& field : layout.fields) {
    std::string name = field.name;
    for (char& c : name) c = AsciiUpper(c);
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  auto twice = std::adjacent_find(names.begin(), names.end());
  return twice == names.end() ? std::string() : *twice;
}

CreateStatus WriteEmptyTable(const std::string& path, const Layout& layout,
                             std::unique_ptr<platform::File>* keep) {
  using platform::File;
  using platform::OpenResult;
  // The file in the target's place is held until the new one has taken its
  // name, so that no other run takes it meanwhile; one that an open holds
  // stays as it is. A file that cannot even be read is no one's table.
  File old;
  switch (old.Open(path, File::Mode::Read, File::Lock::Exclusive)) {
    case OpenResult::Ok:
    case OpenResult::NotFound:
    case OpenResult::AccessDenied:
      break;
    case OpenResult::Locked:
      return CreateStatus::Held;
    case OpenResult::NotAFile:
      return CreateStatus::NotAFile;
    default:
      return CreateStatus::Failed;
  }
  // Written beside the target and renamed over it, locked from the start: a
  // second run creating the same table meets the lock.
  auto fresh = std::make_unique<File>();
  switch (fresh->Open(path + ".new~", File::Mode::CreateTruncate, File::Lock::Exclusive)) {
    case OpenResult::Ok:
      break;
    case OpenResult::Locked:
      return CreateStatus::Held;
    default:
      return CreateStatus::Failed;
  }
  std::string bytes = BuildHeader(layout, platform::Now());
  bytes += kFileEnd;
  if (!fresh->WriteAt(0, bytes.data(), bytes.size()) || !fresh->MoveTo(path)) {
    platform::RemoveFile(fresh->Path());  // while its lock is still held
    return CreateStatus::Failed;
  }
  if (keep != nullptr) *keep = std::move(fresh);
  return CreateStatus::Ok;
}

// ---- DbfFile

DbfFile::DbfFile() = default;
// The worker, the last member, ends first: a batch handed to it is written
// whole. Gathered records that no batch took are dropped (Close writes them).
DbfFile::~DbfFile() = default;

OpenStatus DbfFile::Open(const std::string& path, bool exclusive, bool oemTranslate) {
  Close();
  auto file = std::make_unique<platform::File>();
  auto lock = exclusive ? platform::File::Lock::Exclusive : platform::File::Lock::Shared;
  auto result = file->Open(path, platform::File::Mode::ReadWrite, lock);
  bool readOnly = false;
  if (result == platform::OpenResult::AccessDenied) {
    result = file->Open(path, platform::File::Mode::Read, lock);
    readOnly = true;
  }
  if (result == platform::OpenResult::NotFound) return OpenStatus::NotFound;
  if (result == platform::OpenResult::Locked) return OpenStatus::Locked;
  if (result == platform::OpenResult::NotAFile) return OpenStatus::NotAFile;
  if (result != platform::OpenResult::Ok) return OpenStatus::Invalid;
  OpenStatus status = Attach(std::move(file), path);
  readOnly_ = readOnly;
  if (status == OpenStatus::Ok) SetTranslation(oemTranslate);
  return status;
}

OpenStatus DbfFile::OpenForReading(const std::string& path, bool oemTranslate) {
  Close();
  auto file = std::make_unique<platform::File>();
  auto result = file->Open(path, platform::File::Mode::Read, platform::File::Lock::Shared);
  if (result == platform::OpenResult::NotFound) return OpenStatus::NotFound;
  if (result == platform::OpenResult::Locked) return OpenStatus::Locked;
  if (result == platform::OpenResult::NotAFile) return OpenStatus::NotAFile;
  if (result != platform::OpenResult::Ok) return OpenStatus::Invalid;
  OpenStatus status = Attach(std::move(file), path);
  readOnly_ = true;
  if (status == OpenStatus::Ok) SetTranslation(oemTranslate);
  return status;
}

OpenStatus DbfFile::Adopt(std::unique_ptr<platform::File> file, bool oemTranslate) {
  Close();
  const std::string path = file->Path();
  OpenStatus status = Attach(std::move(file), path);
  if (status == OpenStatus::Ok) SetTranslation(oemTranslate);
  return status;
}

OpenStatus DbfFile::Attach(std::unique_ptr<platform::File> file, const std::string& path) {
  char prefix[kHeaderPrefix];
  std::uint64_t size = file->Size();
  if (file->ReadAt(0, prefix, sizeof prefix) != sizeof prefix) return OpenStatus::Invalid;
  std::uint32_t headerLength = HeaderLengthOf(prefix);
  if (headerLength < kHeaderPrefix || headerLength > size) return OpenStatus::Invalid;
  std::string header(headerLength, '\0');
  if (file->ReadAt(0, header.data(), headerLength) != headerLength) return OpenStatus::Invalid;
  Layout layout;
  if (!ParseHeader(header, layout)) return OpenStatus::Invalid;

  // A truncated file is read up to its last whole record.
  std::uint64_t whole = (size - layout.headerLength) / layout.recordLength;
  count_ = std::min<std::uint64_t>(layout.recordCount, whole);
  wholeAtOpen_ = whole;
  // A last record whose deletion flag is still the end mark is an append
  // that a kill cut short before its end (see AppendBlock): never posted.
  if (count_ > 0) {
    char flag = 0;
    const std::uint64_t last = layout.headerLength + (count_ - 1) * layout.recordLength;
    if (file->ReadAt(last, &flag, 1) != 1) return OpenStatus::Invalid;
    if (flag == kFileEnd) --count_;
  }
  layout_ = std::move(layout);
  header_ = std::move(header);
  file_ = std::move(file);
  path_ = path;
  today_ = platform::Now();
  return OpenStatus::Ok;
}

bool DbfFile::Close() {
  bool written = true;
  try {
    if (file_) written = Flush();
    Settle();
  } catch (...) {
    // What the file's thread threw: the batch under way did not reach the file.
    written = false;
    underway_ = Underway::Nothing;
  }
  worker_.reset();
  file_.reset();
  path_.clear();
  header_.clear();
  layout_ = Layout();
  count_ = 0;
  wholeAtOpen_ = 0;
  readOnly_ = false;
  translate_ = false;
  endMarked_ = false;
  textRuns_.clear();
  scratch_ = {};
  gather_ = false;
  pending_ = 0;
  inFlight_ = 0;
  lost_ = false;
  gathered_ = {};
  flight_ = {};
  single_ = {};
  ahead_ = {};
  return written;
}

void DbfFile::SetTranslation(bool on) {
  translate_ = on;
  textRuns_.clear();
  // Binary integer fields must not pass through the code page tables.
  std::uint32_t start = 0;
  for (const FieldInfo& field : layout_.fields) {
    if (field.type != 'I') continue;
    auto offset = static_cast<std::uint32_t>(field.offset);
    if (offset > start) textRuns_.emplace_back(start, offset);
    start = offset + static_cast<std::uint32_t>(field.width);
  }
  if (start < layout_.recordLength) textRuns_.emplace_back(start, layout_.recordLength);
}

void DbfFile::ToMemory(char* records, std::uint64_t count) const {
  if (!translate_) return;
  std::size_t length = layout_.recordLength;
  if (textRuns_.size() == 1 && textRuns_[0].first == 0 && textRuns_[0].second == length) {
    TranslateText(records, length * count, OemToAnsiInPlace);
    return;
  }
  for (std::uint64_t r = 0; r < count; ++r)
    for (auto [begin, end] : textRuns_)
      TranslateText(records + r * length + begin, end - begin, OemToAnsiInPlace);
}

void DbfFile::ToDisk(char* records, std::uint64_t count) const {
  if (!translate_) return;
  std::size_t length = layout_.recordLength;
  if (textRuns_.size() == 1 && textRuns_[0].first == 0 && textRuns_[0].second == length) {
    TranslateText(records, length * count, AnsiToOemInPlace);
    return;
  }
  for (std::uint64_t r = 0; r < count; ++r)
    for (auto [begin, end] : textRuns_)
      TranslateText(records + r * length + begin, end - begin, AnsiToOemInPlace);
}

std::uint64_t DbfFile::ReadOnDisk(std::uint64_t first, std::uint64_t count, char* out) const {
  const std::size_t length = layout_.recordLength;
  const std::uint64_t offset = layout_.headerLength + (first - 1) * length;
  return file_->ReadAt(offset, out, static_cast<std::size_t>(length * count)) / length;
}

std::uint64_t DbfFile::ReadRaw(std::uint64_t first, std::uint64_t count, char* out) {
  if (underway_ == Underway::Batch) Settle();
  if (!file_ || first == 0 || first > RecordCount()) return 0;
  count = std::min(count, RecordCount() - first + 1);
  std::size_t length = layout_.recordLength;
  std::uint64_t got = 0;
  if (first <= count_) {
    std::uint64_t onDisk = std::min(count, count_ - first + 1);
    got = ReadOnDisk(first, onDisk, out);
    if (got < onDisk) return got;
  }
  if (got < count) {  // gathered appends, kept in the memory code page
    std::size_t from = static_cast<std::size_t>(first + got - count_ - 1) * length;
    char* to = out + got * length;
    std::memcpy(to, gathered_.data() + from, static_cast<std::size_t>(count - got) * length);
    ToDisk(to, count - got);
    got = count;
  }
  return got;
}

std::uint64_t DbfFile::Read(std::uint64_t first, std::uint64_t count, char* out) {
  std::uint64_t got = ReadRaw(first, count, out);
  ToMemory(out, got);
  return got;
}

void DbfFile::ReadAhead(std::uint64_t first, std::uint64_t count) {
  Settle();
  if (!file_ || gather_ || first == 0 || count == 0 || first + count - 1 > count_) return;
  aheadFirst_ = first;
  aheadCount_ = count;
  BackgroundWorker& worker = Worker();
  underway_ = Underway::ReadAhead;
  worker.Start();
}

// On the file's thread: it alone touches the buffer and reads the file, the
// layout and the translation, which stay as they are until Settle.
void DbfFile::ReadAheadNow() {
  ahead_.resize(static_cast<std::size_t>(aheadCount_ * layout_.recordLength));
  aheadGot_ = ReadOnDisk(aheadFirst_, aheadCount_, ahead_.data());
  ToMemory(ahead_.data(), aheadGot_);
}

std::uint64_t DbfFile::ReadBlock(std::uint64_t first, std::uint64_t count, Buffer& out) {
  if (underway_ == Underway::ReadAhead && first == aheadFirst_ && count == aheadCount_) {
    std::exception_ptr thrown = worker_->Wait();
    underway_ = Underway::Nothing;
    if (thrown) std::rethrow_exception(thrown);
    std::swap(out, ahead_);
    return aheadGot_;
  }
  Settle();
  out.resize(static_cast<std::size_t>(count * layout_.recordLength));
  return Read(first, count, out.data());
}

bool DbfFile::Write(std::uint64_t recno, const char* record) {
  Settle();
  if (!file_ || readOnly_ || recno == 0 || recno > RecordCount()) return false;
  std::size_t length = layout_.recordLength;
  if (recno > count_) {
    std::memcpy(gathered_.data() + static_cast<std::size_t>(recno - count_ - 1) * length, record, length);
    return true;
  }
  scratch_.assign(record, record + length);
  ToDisk(scratch_.data(), 1);
  return file_->WriteAt(layout_.headerLength + (recno - 1) * length, scratch_.data(), length);
}

bool DbfFile::WriteFlag(std::uint64_t recno, char flag) {
  Settle();
  if (!file_ || readOnly_ || recno == 0 || recno > RecordCount()) return false;
  if (recno > count_) {
    gathered_[static_cast<std::size_t>(recno - count_ - 1) * layout_.recordLength] = flag;
    return true;
  }
  return file_->WriteAt(layout_.headerLength + (recno - 1) * layout_.recordLength, &flag, 1);
}

bool DbfFile::WriteCount(std::uint64_t count) {
  char stamp[7];
  PutStamp(stamp, today_, count);
  if (!file_->WriteAt(1, stamp, sizeof stamp)) return false;
  std::memcpy(header_.data() + 1, stamp, sizeof stamp);
  count_ = count;
  return true;
}

// An append writes the new records behind the end mark of the counted ones,
// with a new end mark after them, while the old mark stays in the place of
// the first record's deletion flag; then that flag, in a write of its own,
// replaces the old mark; last the header counts the new records. A kill can
// cut a long write short at any page, so until the flag is written a reader
// that walks to the end mark (dbfread) stops before the new records, and
// until the count is written a reader that goes by the count (python-dbf,
// Perl XBase, this layer) does not reach them: every reader sees whole
// records only, and the header never counts a record that is not all on
// disk.
//
// The file's end is passed in and out (`tail`) rather than kept in the
// object, so that a batch can be appended on the file's own thread while
// the object goes on counting the records before it.
bool DbfFile::AppendAt(Tail& tail, const char* records, std::uint64_t count) const {
  std::size_t length = layout_.recordLength;
  const std::uint64_t before = tail.count;
  if (count > kMaxRecords - before) return false;  // the header could not count them
  std::uint64_t offset = layout_.headerLength + before * length;
  char stamp[7];
  PutStamp(stamp, today_, before + count);
  if ((!tail.endMarked && !EndMarkAt(*file_, offset)) ||
      !file_->WriteAt(offset + 1, records + 1, length * count) || !file_->WriteAt(offset, records, 1) ||
      !file_->WriteAt(1, stamp, sizeof stamp)) {
    CutToCounted(*file_, offset);
    PutStamp(stamp, today_, before);
    file_->WriteAt(1, stamp, sizeof stamp);
    tail.endMarked = false;
    return false;
  }
  tail = {before + count, true};
  return true;
}

void DbfFile::TakeTail(const Tail& tail) {
  PutStamp(header_.data() + 1, today_, tail.count);
  count_ = tail.count;
  endMarked_ = tail.endMarked;
}

bool DbfFile::AppendBlock(const char* records, std::uint64_t count) {
  Tail tail{count_, endMarked_};
  const bool written = AppendAt(tail, records, count);
  TakeTail(tail);
  return written;
}

bool DbfFile::Append(const char* record) {
  if (!file_ || readOnly_) return false;
  if (gather_) return Gather(record);
  Settle();
  std::size_t length = layout_.recordLength;
  scratch_.resize(length + 1);
  std::memcpy(scratch_.data(), record, length);
  ToDisk(scratch_.data(), 1);
  scratch_[length] = kFileEnd;
  return AppendBlock(scratch_.data(), 1);
}

bool DbfFile::Gather(const char* record) {
  const std::size_t length = layout_.recordLength;
  if (flightFailed_.load(std::memory_order_relaxed)) Settle();
  if (pending_ > 0 && (pending_ + 1) * length > kBatchBytes) HandOff();
  if (lost_) {
    lost_ = false;
    return false;
  }
  // Within the capacity reserved: no allocation.
  std::size_t at = static_cast<std::size_t>(pending_) * length;
  gathered_.resize(at + length);
  std::memcpy(gathered_.data() + at, record, length);
  ++pending_;
  return true;
}

bool DbfFile::AppendRaw(const char* records, std::uint64_t count) {
  if (!file_ || readOnly_ || !Flush()) return false;
  if (count == 0) return true;
  std::size_t length = layout_.recordLength;
  scratch_.resize(length * count + 1);
  std::memcpy(scratch_.data(), records, length * count);
  scratch_[length * count] = kFileEnd;
  return AppendBlock(scratch_.data(), count);
}

void DbfFile::GatherAppends(bool on) {
  if (on)
    Settle();
  else
    Flush();
  gather_ = on;
  // Two buffers for the batches of the table's whole life, not a chain of
  // growing ones.
  if (on) {
    gathered_.reserve(kBatchBytes + 1);
    flight_.reserve(kBatchBytes + 1);
  }
}

bool DbfFile::Flush() {
  HandOff();
  Settle();
  return !std::exchange(lost_, false);
}

bool DbfFile::MoveTo(const std::string& target) {
  if (!file_ || !Flush() || !file_->MoveTo(target)) return false;
  path_ = target;
  return true;
}

BackgroundWorker& DbfFile::Worker() {
  if (!worker_) worker_ = std::make_unique<BackgroundWorker>([this] { RunUnderway(); });
  return *worker_;
}

void DbfFile::RunUnderway() {
  if (underway_ == Underway::Batch)
    WriteFlight();
  else
    ReadAheadNow();
}

void DbfFile::Settle() {
  if (underway_ == Underway::Nothing) return;
  // The thread reads what is under way until it is done.
  std::exception_ptr thrown = worker_->Wait();
  const Underway was = std::exchange(underway_, Underway::Nothing);
  if (was == Underway::Batch) TakeInFlight();
  if (thrown) std::rethrow_exception(thrown);
}

// The gathered records become the batch in flight, once the one before has
// been taken in; none when that one failed and took them along.
void DbfFile::HandOff() {
  Settle();
  if (pending_ == 0) return;
  std::swap(gathered_, flight_);
  gathered_.clear();
  inFlight_ = std::exchange(pending_, 0);
  flightTail_ = {count_, endMarked_};
  flightWritten_ = false;
  BackgroundWorker& worker = Worker();
  underway_ = Underway::Batch;
  worker.Start();
}

// On the file's thread: the batch, translated to the file's code page, is
// appended as one block. A batch that does not fit (a full disk) is cut
// back to the records before it; then as many of its records as fit are
// appended one by one, so that the file loses no record that could be
// written.
void DbfFile::WriteFlight() {
  const std::size_t length = layout_.recordLength;
  ToDisk(flight_.data(), inFlight_);
  flight_.push_back(kFileEnd);
  flightWritten_ = AppendAt(flightTail_, flight_.data(), inFlight_);
  for (std::uint32_t i = 0; !flightWritten_ && i < inFlight_; ++i) {
    single_.assign(flight_.data() + i * length, flight_.data() + (i + 1) * length);
    single_.push_back(kFileEnd);
    if (!AppendAt(flightTail_, single_.data(), 1)) break;
  }
  if (!flightWritten_) flightFailed_.store(true, std::memory_order_relaxed);
}

// After a failed batch the records gathered behind it are dropped too: the
// file keeps the records in the order they came, without a gap. The next
// append looks for the end mark again.
void DbfFile::TakeInFlight() {
  if (!flightWritten_) flightTail_.endMarked = false;
  TakeTail(flightTail_);
  if (!flightWritten_) {
    lost_ = true;
    pending_ = 0;
    gathered_.clear();
  }
  flightFailed_.store(false, std::memory_order_relaxed);
  inFlight_ = 0;
  flight_.clear();
}

bool DbfFile::Truncate() {
  Settle();
  if (!file_ || readOnly_) return false;
  // The records gathered are dropped as asked, a batch lost before them too.
  pending_ = 0;
  lost_ = false;
  gathered_.clear();
  if (!WriteCount(0)) return false;
  const char end = kFileEnd;
  endMarked_ = file_->Truncate(layout_.headerLength) && file_->WriteAt(layout_.headerLength, &end, 1);
  return endMarked_;
}

bool DbfFile::Pack(const StopCheck& stop) {
  if (!file_ || readOnly_ || !Flush()) return false;
  std::string temp = path_ + ".pack~";
  auto packed = std::make_unique<platform::File>();
  // The new file is locked before it takes the table's name, so the table
  // never stands unlocked.
  if (packed->Open(temp, platform::File::Mode::CreateTruncate, platform::File::Lock::Exclusive) !=
      platform::OpenResult::Ok)
    return false;
  auto fail = [&] {
    packed->Close();
    platform::RemoveFile(temp);
    return false;
  };

  std::size_t length = layout_.recordLength;
  std::uint64_t block = BlockRecords(layout_.recordLength);
  std::vector<char> in(block * length), out(block * length);
  std::uint64_t writeAt = layout_.headerLength;
  std::uint64_t kept = 0;
  for (std::uint64_t first = 1; first <= count_; first += block) {
    if (stop && stop()) return fail();
    std::uint64_t got = ReadRaw(first, block, in.data());
    if (got < std::min(block, count_ - first + 1)) return fail();
    std::size_t used = 0;
    for (std::uint64_t r = 0; r < got; ++r) {
      const char* record = in.data() + r * length;
      if (record[0] == kDeletedFlag) continue;
      std::memcpy(out.data() + used, record, length);
      used += length;
    }
    if (used > 0 && !packed->WriteAt(writeAt, out.data(), used)) return fail();
    writeAt += used;
    kept += used / length;
  }
  std::string header = header_;
  PutStamp(header.data() + 1, today_, kept);
  const char end = kFileEnd;
  if (!packed->WriteAt(0, header.data(), header.size()) || !packed->WriteAt(writeAt, &end, 1)) return fail();
  if (!packed->MoveTo(path_)) return fail();
  file_ = std::move(packed);
  header_ = std::move(header);
  count_ = kept;
  return true;
}

// ---- RecordCache

namespace {

// A table read in order has the next block read ahead when it holds more
// than this many blocks; a small one (a reference) is read as it comes.
// The second line of a failed read, in the operator's words.
const std::string& ReadFailedCause() {
  return VELT_ANSI(
      "не читается: ошибка чтения носителя, или файл укорочен другой программой во время работы");
}

constexpr std::uint64_t kReadAheadBlocks = 2;

}  // namespace

void RecordCache::Attach(DbfFile* file) {
  Clear();
  file_ = file;
  blank_.assign(file ? file->RecordLength() : 0, ' ');
}

void RecordCache::Clear() {
  data_ = {};
  first_ = 0;
  count_ = 0;
  all_ = false;
}

const char* RecordCache::Get(std::uint64_t recno) {
  std::size_t length = blank_.size();
  if (recno - first_ < count_) return data_.data() + (recno - first_) * length;
  if (all_ || file_ == nullptr || recno == 0 || recno > file_->RecordCount()) return blank_.data();
  // The first block, or the one right after the block held: a walk in order.
  const bool inOrder = recno == 1 || recno == first_ + count_;
  std::uint64_t want = std::min<std::uint64_t>(BlockRecords(static_cast<std::uint32_t>(length)),
                                               file_->RecordCount() - recno + 1);
  count_ = file_->ReadBlock(recno, want, data_);
  first_ = recno;
  if (count_ < want) ReadFailed();
  if (inOrder && count_ == want) ReadAheadFrom(recno + count_);
  return count_ > 0 ? data_.data() : blank_.data();
}

void ThrowReadFailed(const std::string& path) {
  throw Error("Unable to read table: " + path + "\n" + TableProblemLine(path, ReadFailedCause()));
}

void RecordCache::ReadFailed() {
  count_ = 0;
  ThrowReadFailed(file_->Path());
}

void RecordCache::ReadAheadFrom(std::uint64_t recno) {
  const std::uint64_t block = BlockRecords(static_cast<std::uint32_t>(blank_.size()));
  const std::uint64_t total = file_->RecordCount();
  if (total <= kReadAheadBlocks * block || recno > total) return;
  file_->ReadAhead(recno, std::min(block, total - recno + 1));
}

void RecordCache::LoadAll() {
  std::size_t length = blank_.size();
  std::uint64_t total = file_->RecordCount();
  data_.clear();
  data_.shrink_to_fit();
  data_.resize(total * length);
  count_ = file_->Read(1, total, data_.data());
  data_.resize(count_ * length);
  first_ = 1;
  if (count_ < total) ReadFailed();
  all_ = true;
}

void RecordCache::Store(std::uint64_t recno, const char* record) {
  std::size_t length = blank_.size();
  if (recno - first_ < count_) {
    std::memcpy(data_.data() + (recno - first_) * length, record, length);
  } else if (all_ && recno == first_ + count_) {
    data_.insert(data_.end(), record, record + length);
    ++count_;
  }
}

void RecordCache::StoreFlag(std::uint64_t recno, char flag) {
  if (recno - first_ < count_) data_[(recno - first_) * blank_.size()] = flag;
}

}  // namespace velt::dbf
