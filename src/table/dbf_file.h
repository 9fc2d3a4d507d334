#pragma once
// The dBase table file: its header and field descriptors, and its records,
// read and written in the memory code page (1251) while the file holds 866
// when OEM translation is on.
//
// Record numbers are 1-based and 64 bits wide, like every count of records:
// a header may count up to 2^32 - 1 records, and a walk over them must not
// wrap. A record's bytes start with the deletion flag (' ' or '*'), as on
// disk.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/platform.h"
#include "table/field_info.h"

namespace velt {
class BackgroundWorker;
}

namespace velt::dbf {

// Records are read and copied a block of about a megabyte at a time: the
// records of one block, at least one.
inline constexpr std::size_t kBlockBytes = 1 << 20;
inline std::uint32_t BlockRecords(std::uint64_t recordLength) {
  return static_cast<std::uint32_t>(std::max<std::uint64_t>(1, kBlockBytes / recordLength));
}

inline constexpr std::uint8_t kDbase3 = 0x03;
inline constexpr std::uint8_t kLanguageCp866 = 0x65;
inline constexpr std::size_t kHeaderPrefix = 32;
inline constexpr char kHeaderEnd = 0x0D;
inline constexpr char kFileEnd = 0x1A;
inline constexpr char kDeletedFlag = '*';

// An allocator whose resize leaves new elements uninitialised, for buffers
// of records and keys that are filled right after (a table of a million
// records is not cleared first).
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <typename U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using Buffer = std::vector<char, UninitializedAllocator<char>>;

struct Layout {
  std::uint8_t version = kDbase3;
  std::uint8_t language = 0;
  std::uint32_t recordCount = 0;  // as the header says
  std::uint32_t headerLength = 0;
  std::uint32_t recordLength = 0;
  std::vector<FieldInfo> fields;
};

// Header length from the first 32 bytes of a file.
std::uint32_t HeaderLengthOf(const char* prefix);
// False when the bytes are no dBase table this layer reads: unknown version,
// header or record length out of reason, no fields, a field of an unknown
// type or reaching past the record.
bool ParseHeader(std::string_view header, Layout& layout);
// Gives new fields their offsets and fills the layout of a new dBase III
// table; false when the record would be too long for the format.
bool PlanLayout(const std::vector<FieldInfo>& fields, std::uint8_t language, Layout& layout);
// Header of a new table (version, date, count, descriptors, terminator).
std::string BuildHeader(const Layout& layout, const platform::LocalTime& date);
// The first field name that the layout holds twice (letter case ignored),
// or "" when every name is unique.
std::string DuplicateFieldName(const Layout& layout);

enum class CreateStatus { Ok, Held, NotAFile, Failed };
// Writes an empty table at path in the place of any file there. A file there
// that an open holds (a lock of this layer's, in this or another program) is
// never replaced: Held, and so is a table that another run is creating at
// that moment. The new file is locked exclusively from the moment it exists;
// with `keep` the caller gets it, still locked, else it is let go.
CreateStatus WriteEmptyTable(const std::string& path, const Layout& layout,
                             std::unique_ptr<platform::File>* keep = nullptr);

// Asked between the blocks of a long walk over a file; true stops the walk.
using StopCheck = std::function<bool()>;

enum class OpenStatus { Ok, NotFound, Locked, NotAFile, Invalid };

class DbfFile {
 public:
  DbfFile();
  ~DbfFile();
  DbfFile(const DbfFile&) = delete;
  DbfFile& operator=(const DbfFile&) = delete;

  // Opens read-write, or read-only when the file cannot be written, with an
  // exclusive or shared lock taken without waiting.
  OpenStatus Open(const std::string& path, bool exclusive, bool oemTranslate);
  // Opens for reading only (AppendFrom's source).
  OpenStatus OpenForReading(const std::string& path, bool oemTranslate);
  // Takes over a file that WriteEmptyTable kept, with its lock.
  OpenStatus Adopt(std::unique_ptr<platform::File> file, bool oemTranslate);
  // Writes the gathered appends and lets the file go; false when they could
  // not all be written (see Flush) or the file's thread failed. The file is
  // let go either way; nothing is raised.
  bool Close();
  bool IsOpen() const { return file_ != nullptr; }
  bool ReadOnly() const { return readOnly_; }
  const std::string& Path() const { return path_; }
  const Layout& layout() const { return layout_; }
  std::uint32_t RecordLength() const { return layout_.recordLength; }
  // Whole records in the file (the header's count, cut to what the file
  // holds), with the appends gathered but not yet written.
  std::uint64_t RecordCount() const { return count_ + inFlight_ + pending_; }
  // Whole records the file held when it was opened, whatever its header
  // counts: above RecordCount when the header counts too few.
  std::uint64_t WholeRecordsAtOpen() const { return wholeAtOpen_; }

  // Appends gather in memory and reach the file a batch at a time: when a
  // batch is full, at Flush and at Close. Only for a file that its caller
  // holds alone; reads and writes of gathered records are served from
  // memory. Each batch is appended as one append would be (AppendBlock),
  // the batches in order, each on a thread of the file's own while the
  // next one gathers; any other use of the file waits for it first.
  void GatherAppends(bool on);
  // Writes the gathered appends and returns once they are on the file.
  // False when they could not all be written (a full disk): as many as fit
  // are appended one by one, the others dropped, and the file holds whole
  // records only. A batch that failed on its own thread is told here or by
  // the next Append, and takes the records gathered after it along.
  bool Flush();
  // Flushes, then puts the file in the place of `target` with one rename;
  // it stays open, with its lock, under the new name. False when either
  // failed; the file then keeps its name.
  bool MoveTo(const std::string& target);

  // Records first.. into out, in the memory code page; the number read.
  std::uint64_t Read(std::uint64_t first, std::uint64_t count, char* out);
  // The same without translation.
  std::uint64_t ReadRaw(std::uint64_t first, std::uint64_t count, char* out);
  // A walk in order: the block of records first.. (count of them) is read
  // and translated on the file's own thread while the caller works on the
  // block before, for ReadBlock to take. Only records on the file, and
  // never while appends gather.
  void ReadAhead(std::uint64_t first, std::uint64_t count);
  // Records first.. into `out`, sized to them, in the memory code page; the
  // number read. The block read ahead is taken when it is this one (its
  // buffer and out's trade places).
  std::uint64_t ReadBlock(std::uint64_t first, std::uint64_t count, Buffer& out);
  void ToMemory(char* records, std::uint64_t count) const;
  void ToDisk(char* records, std::uint64_t count) const;

  // Each write leaves a file that every reader opens whole (see
  // AppendBlock). False when the file could not be written.
  bool Write(std::uint64_t recno, const char* record);
  bool WriteFlag(std::uint64_t recno, char flag);
  bool Append(const char* record);
  bool AppendRaw(const char* records, std::uint64_t count);
  bool Truncate();  // drops every record
  // Writes the records not marked deleted to a file beside this one and puts
  // it in this file's place; the table stays open (and locked) on it. False
  // when it failed or `stop` asked it to stop; the file is then as it was.
  bool Pack(const StopCheck& stop = {});

 private:
  OpenStatus Attach(std::unique_ptr<platform::File> file, const std::string& path);
  bool WriteCount(std::uint64_t count);
  void SetTranslation(bool on);

  std::unique_ptr<platform::File> file_;
  std::string path_;
  std::string header_;  // the header bytes as read
  Layout layout_;
  std::uint64_t count_ = 0;
  std::uint64_t wholeAtOpen_ = 0;
  bool readOnly_ = false;
  bool translate_ = false;
  // The end mark is known to follow the counted records (this object's own
  // last append put it there), so the next append need not look for it.
  bool endMarked_ = false;
  // Byte ranges of a record that hold text (binary fields are left alone).
  std::vector<std::pair<std::uint32_t, std::uint32_t>> textRuns_;
  platform::LocalTime today_{};
  // Where the counted records end: their number, and whether this object's
  // own last append put the end mark after them.
  struct Tail {
    std::uint64_t count = 0;
    bool endMarked = false;
  };
  bool AppendBlock(const char* records, std::uint64_t count);
  bool AppendAt(Tail& tail, const char* records, std::uint64_t count) const;
  void TakeTail(const Tail& tail);
  std::uint64_t ReadOnDisk(std::uint64_t first, std::uint64_t count, char* out) const;

  // Work on the file's own thread, one piece at a time.
  enum class Underway { Nothing, Batch, ReadAhead };
  BackgroundWorker& Worker();
  void RunUnderway();
  // Waits for the work under way and takes its result in (a block read
  // ahead is dropped).
  void Settle();
  bool Gather(const char* record);
  void HandOff();
  void WriteFlight();
  void TakeInFlight();
  void ReadAheadNow();

  std::vector<char> scratch_;
  Underway underway_ = Underway::Nothing;
  // Gathered appends in the memory code page: `gathered_` fills while the
  // batch before it, `flight_`, is translated and written on the file's
  // own thread from the end `flightTail_`, which it moves.
  bool gather_ = false;
  std::uint32_t pending_ = 0;
  std::uint32_t inFlight_ = 0;
  Buffer gathered_;
  Buffer flight_;
  Buffer single_;  // one record of a batch that did not fit whole
  Tail flightTail_;
  bool flightWritten_ = false;
  // Set on the file's thread as soon as a batch fails, so that the next
  // Append tells of it.
  std::atomic<bool> flightFailed_{false};
  // Gathered records were lost: the next Append or Flush returns false.
  bool lost_ = false;
  // The block read ahead.
  Buffer ahead_;
  std::uint64_t aheadFirst_ = 0;
  std::uint64_t aheadCount_ = 0;
  std::uint64_t aheadGot_ = 0;
  // Last: ends first, while what it works on is still there.
  std::unique_ptr<BackgroundWorker> worker_;
};

// "Unable to read table: <path>" with the cause in Russian: records that the
// file counts could not be read (a failing medium, a file cut short
// meanwhile). Never taken for the end of the table.
[[noreturn]] void ThrowReadFailed(const std::string& path);

// The records of an open file in the memory code page: a window of about a
// megabyte while the table is read in order, or every record once an index
// needs random access (LoadAll). Every write through the table goes through
// Store so the copy stays equal to the file. Records the file counts but
// that cannot be read (a failing medium, a file cut short meanwhile) raise
// "Unable to read table: <path>", never pass for blank records.
class RecordCache {
 public:
  void Attach(DbfFile* file);
  void Clear();
  // The record, loading the block that starts with it when it is not held.
  // A large table read in order has the block after it read meanwhile.
  const char* Get(std::uint64_t recno);
  void LoadAll();
  bool HoldsAll() const { return all_; }
  const char* AllRecords() const { return data_.data(); }  // record n at (n-1)*length
  // Keeps the held copy equal to the file after recno was written (appended
  // records are taken in when every record is held).
  void Store(std::uint64_t recno, const char* record);
  void StoreFlag(std::uint64_t recno, char flag);

 private:
  void ReadAheadFrom(std::uint64_t recno);
  [[noreturn]] void ReadFailed();

  DbfFile* file_ = nullptr;
  Buffer data_;
  std::string blank_;
  std::uint64_t first_ = 0;
  std::uint64_t count_ = 0;
  bool all_ = false;
};

}  // namespace velt::dbf
