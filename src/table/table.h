#pragma once
// One dBase table, as every part of the program uses it: open, walk, read and
// write fields, append, index, scope, create, copy, pack.
//
// Text in and out is Windows-1251. With OEMTranslate on, the file holds code
// page 866 and the table translates on the way in and out.
//
// Records marked deleted are invisible to navigation, Count and scopes.
// Errors are raised as velt::Error with the texts other programs of the
// station know ("Field 'X' not found", "Cannot perform this operation on a
// closed table", ...). Texts marked so below carry the object name and ": "
// in front when the table object has a name.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/cancel_token.h"
#include "support/date_time.h"
#include "table/field_info.h"

namespace velt {

class Table;
class TableIndex;

// A field of the current record, found by name (FieldByName). Callers in hot
// loops keep the field's position (FieldIndex) and use the positional calls.
class FieldRef {
 public:
  FieldRef(Table& table, int index) : table_(&table), index_(index) {}
  int Index() const { return index_; }
  std::string AsString() const;
  int AsInteger() const;
  double AsFloat() const;
  DateTime AsDateTime() const;
  bool IsNull() const;
  void SetString(std::string_view value) const;
  void SetInteger(int value) const;
  void SetFloat(double value) const;
  void SetDateTime(DateTime value) const;
  void Clear() const;

 private:
  Table* table_;
  int index_;
};

// Records of a table's current order found without moving its cursor
// (Table::Find): the table's own copies of the records (1251), valid while
// the table is not changed. Read their fields with the Table calls that take
// a record.
class RecordRange {
 public:
  RecordRange() = default;
  RecordRange(const TableIndex* index, const char* records, std::size_t length, std::size_t first,
              std::size_t last)
      : index_(index), records_(records), length_(length), first_(first), last_(last) {}
  std::size_t size() const { return last_ - first_; }
  bool empty() const { return first_ == last_; }
  const char* operator[](std::size_t i) const;
  std::uint32_t RecNo(std::size_t i) const;
  // Record `recno` of the table, held by the range or not: for a walk in
  // record order over a range that holds every record.
  const char* InRecordOrder(std::uint32_t recno) const {
    return records_ + static_cast<std::size_t>(recno - 1) * length_;
  }
  // Whether record i is among those that Find(key) gives.
  bool KeyMatches(std::size_t i, std::string_view key) const;

 private:
  const TableIndex* index_ = nullptr;
  const char* records_ = nullptr;
  std::size_t length_ = 0;
  std::size_t first_ = 0, last_ = 0;
};

class Table {
 public:
  explicit Table(std::string objectName = {});
  ~Table();  // closes
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // ---- Properties. TableName and Exclusive change only while closed
  // ("Cannot perform this operation on an open table").
  const std::string& ObjectName() const { return objectName_; }
  void SetTableName(const std::string& path);
  const std::string& TableName() const { return tableName_; }
  void SetExclusive(bool exclusive);
  bool Exclusive() const { return exclusive_; }
  void SetOEMTranslate(bool on);
  bool OEMTranslate() const { return oemTranslate_; }
  bool Active() const;
  bool ReadOnly() const;                // the file could only be opened for reading
  std::uint8_t LanguageDriver() const;  // header byte 29 of the open table
  // Changes with every Open, so that callers can tell a reopened table from
  // the one whose field positions they resolved.
  std::uint64_t OpenSerial() const;
  // Asked between the blocks (about a megabyte each) of a long walk over the
  // file (counting, skipping deleted records, packing); an answer of true stops
  // the walk: navigation stands at Eof, Count gives the records counted so
  // far, Pack fails and leaves the file as it was. Kept across opens.
  void SetStopCheck(std::function<bool()> stop);

  // ---- Open and close.
  // Errors: "<name> : Missing TableName property"; "Table does not exist.\n
  // File or directory does not exist.\nFile: <path>"; "Unable to open table:
  // <path>" (not a dBase table, locked by another open, unreadable), with a
  // second line that names the cause when the path names no regular file or
  // the table has two fields of one name.
  void Open();
  // Closed in any case; "Unable to write table: <path>" when gathered Posts
  // could not all be written. The destructor closes without telling.
  void Close();

  // ---- Navigation in the current order and scope.
  void First();
  void Next();
  bool Eof() const;
  // Record numbers and counts are 64 bits wide: a header may count up to
  // 2^32 - 1 records.
  std::int64_t RecNo() const;  // physical number from 1; 0 when closed or no record
  // Makes a record current by its physical number (for record-by-record
  // views); in an index order it stands at that record's entry. Eof when
  // the record does not exist or is deleted.
  void GoTo(std::int64_t recno);
  bool IsDeleted() const;
  // The current record's deletion flag is neither blank nor '*' (a NUL, a
  // stray end mark, any other byte): other dBase readers skip such a record.
  bool IsDamaged() const;
  std::int64_t Count() const;          // visible records in the current order and scope
  std::int64_t PhysicalCount() const;  // records in the file, deleted ones included
  // The count that the header announces; above PhysicalCount in a file cut
  // short (whose whole records alone are read).
  std::int64_t DeclaredCount() const;
  // Whole records the file held when it opened, whatever the header counts:
  // above DeclaredCount when the header counts too few (which alone are read).
  std::int64_t WholeRecordsInFile() const;

  // ---- Fields.
  int FieldCount() const;
  const FieldInfo& Field(int index) const;
  const std::vector<FieldInfo>& Fields() const;
  FieldKind Kind(int index) const;
  bool FieldExists(std::string_view name) const;  // case-insensitive
  int FieldIndex(std::string_view name) const;    // -1 when missing
  // Throws "Field 'NAME' not found" (with the object-name prefix).
  FieldRef FieldByName(std::string_view name);

  // Reading the current record. Text is right-trimmed; a blank N or D field
  // is null and reads as "" and 0; a number as text is plain decimal with up
  // to 15 significant digits and no trailing zeros; a date as dd.mm.yyyy.
  std::string AsString(int index) const;
  // The right-trimmed bytes of a C field (or the raw bytes of another type),
  // valid until the record changes; no allocation.
  std::string_view TextView(int index) const;
  int AsInteger(int index) const;
  double AsFloat(int index) const;
  DateTime AsDateTime(int index) const;  // 0 for a null date
  bool IsNull(int index) const;
  // The current record's bytes (1251, deletion flag first), valid until the
  // cursor moves or the record changes.
  const char* CurrentRecord() const;
  // The same of a record that Find handed out.
  std::string AsString(const char* record, int index) const;
  std::string_view TextView(const char* record, int index) const;
  int AsInteger(const char* record, int index) const;

  // Writing the current record (only while appending or editing: otherwise
  // "Dataset not in edit or insert mode", with the prefix). Text longer than
  // the field is cut; a number too wide for its field makes the next Post
  // fail with "Translate error. Value out of bounds"; more decimals than the
  // field has are rounded half away from zero.
  void SetString(int index, std::string_view value);
  void SetInteger(int index, int value);
  void SetFloat(int index, double value);
  void SetDateTime(int index, DateTime value);
  void Clear(int index);  // blank: null number or date, empty text

  // ---- Editing.
  // Append starts a blank record (not yet in the file). On a closed table:
  // "Cannot perform this operation on a closed dataset" (with the prefix).
  void Append();
  void Edit();            // edit the current record; changes nothing while appending
  void Post();            // writes the record and the header's count; file consistent after it
  void Cancel();          // drops a pending Append or Edit
  bool Modified() const;  // a pending Append or Edit
  // The record being appended or edited (1251, deletion flag first), for a
  // caller that formats whole records itself; Post writes it as it stands.
  // Outside Append and Edit: "Dataset not in edit or insert mode".
  char* EditBuffer();
  // A table that a conversion run created and holds alone until the run
  // ends: its Posts gather in memory and reach the file in batches (when a
  // batch is full, at FlushPosts and at Close), each batch appended so that
  // the file is a whole table at every moment.
  void SetBatchedPosts(bool on);
  // Writes the gathered Posts now. "Unable to write table: <path>" when they
  // cannot all be written; the file keeps the records of the earlier batches
  // and as many of these as fit.
  void FlushPosts();
  // Writes the gathered Posts and puts the open file in the place of
  // `target` with one rename, replacing a file there; the table stays open
  // under that name. "Unable to write table: <path>" when either fails.
  void MoveTo(const std::string& target);
  void Delete();       // marks the current record deleted and moves to the next
  void InsertBlank();  // stores one blank record at once and makes it current
  // Both need Exclusive ("Table must be opened in Exclusive mode to perform
  // this operation"). Pack writes the packed table beside the file and
  // replaces it in one rename.
  void Pack();
  void Zap();

  // ---- Indexes.
  // Builds an index on an xBase key expression over the records that satisfy
  // the condition (empty: all), writes it as a Clipper NTX file at `file`
  // and returns its order number (1, 2, ...). Equal keys keep ascending
  // record order, also in a descending index.
  int Index(const std::string& file, const std::string& keyExpression, int option, bool descending,
            const std::string& condition);
  void SetOrder(int order);  // 0 is physical order
  // Restricts the current order to keys from low to high (trailing blanks
  // ignored; a numeric key compares as a number) and moves to the first
  // record of the scope.
  void SetScope(std::string_view low, std::string_view high);
  void CancelScope();
  // The records of the current index order that SetScope(key, key) would
  // keep, in index order, without moving the cursor or touching the scope;
  // All: every record of the order. In physical order (no index) the range
  // is empty; on a closed table "Cannot perform this operation on a closed
  // table".
  RecordRange Find(std::string_view key) const;
  RecordRange All() const;

  // ---- Creation and copying.
  // Failures of creation raise; an Unavailable error (ErrorKind) when the
  // file could not be written at all or no table was begun.
  void CreateNew(const std::string& file, int driverType, int fieldCount);
  void CreateField(std::string_view name, std::string_view type, int width, int decimals);
  // The new table stays closed. A file at the path that an open holds is
  // never replaced: "Unable to open table: <path>" with a second line naming
  // the cause, as for a path that names no regular file. With Exclusive set,
  // the new file stays locked for this object from the moment it exists, and
  // the next Open of that path takes it over.
  void CreateExec();
  // Appends the non-deleted records of another table; fields matched by name
  // ignoring case; character data copied byte for byte; a damaged deletion
  // flag (IsDamaged) is copied too. A source with two fields of one name is
  // refused like a table that cannot be opened; a source that cannot be
  // opened at all (missing, locked) raises an Unavailable error. A `stop`
  // requested meanwhile ends the copy after a block of records, those
  // appended so far kept.
  void AppendFrom(const std::string& source, int sourceType, const std::string& condition,
                  const CancelToken* stop = nullptr);
  // An empty table with this table's fields at `target`; a closed table is
  // opened for it and closed again. A target that cannot be written, or that
  // an open holds (it stays as it is), raises an Unavailable error.
  void CopyStructure(const std::string& target);

 private:
  struct Impl;
  std::string objectName_;
  std::string tableName_;
  bool exclusive_ = false;
  bool oemTranslate_ = false;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velt
