#include "conversion/table_damage.h"

#include <algorithm>

#include "conversion/code_page_hint.h"
#include "support/code_page.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "table/dbf_file.h"

namespace velt {
namespace {

// Read this much at a time when the deletion flags are counted.
constexpr std::uint64_t kPieceBytes = 32 << 10;

// Deletion flags other than ' ' and '*' among the first `records` records.
std::uint64_t CountDamagedFlags(const platform::File& file, const dbf::Layout& layout,
                                std::uint64_t records) {
  const std::uint64_t length = layout.recordLength;
  const std::uint64_t perPiece = std::max<std::uint64_t>(1, kPieceBytes / length);
  std::string piece(static_cast<std::size_t>(perPiece * length), '\0');
  std::uint64_t damaged = 0;
  for (std::uint64_t done = 0; done < records;) {
    const std::uint64_t want = std::min(perPiece, records - done);
    const std::size_t got = file.ReadAt(layout.headerLength + done * length, piece.data(),
                                        static_cast<std::size_t>(want * length));
    for (std::size_t at = 0; at + length <= got; at += length)
      damaged += piece[at] != ' ' && piece[at] != dbf::kDeletedFlag;
    if (got < want * length) break;
    done += want;
  }
  return damaged;
}

std::string Count(std::uint64_t n) { return std::to_string(n); }

// "заголовок объявляет записей: 10, в файле целых записей: 40" and what it
// means for the records read.
std::string CountLine(const TableFileShape& shape) {
  std::string line = VELT_ANSI("заголовок объявляет записей: ") + Count(shape.declared) +
                     VELT_ANSI(", в файле целых записей: ") + Count(shape.whole);
  if (shape.declared < shape.whole)
    line += VELT_ANSI(", записей за объявленными не читается: ") + Count(shape.whole - shape.declared);
  return line;
}

}  // namespace

TableFileShape ReadTableShape(const std::string& path) {
  TableFileShape shape;
  platform::File file;
  if (file.Open(path, platform::File::Mode::Read, platform::File::Lock::None) != platform::OpenResult::Ok)
    return shape;
  char prefix[dbf::kHeaderPrefix];
  if (file.ReadAt(0, prefix, sizeof prefix) != sizeof prefix) return shape;
  const std::uint64_t size = file.Size();
  const std::uint32_t headerLength = dbf::HeaderLengthOf(prefix);
  if (headerLength < dbf::kHeaderPrefix || headerLength > size) return shape;
  std::string header(headerLength, '\0');
  dbf::Layout layout;
  if (file.ReadAt(0, header.data(), headerLength) != headerLength || !dbf::ParseHeader(header, layout))
    return shape;
  shape.read = true;
  shape.declared = layout.recordCount;
  const std::uint64_t length = layout.recordLength;
  shape.whole = (size - headerLength) / length;
  const std::uint64_t rest = (size - headerLength) % length;
  char last = 0;
  if (rest == 1) file.ReadAt(size - 1, &last, 1);
  // The end mark, or nothing, follows the last whole record.
  shape.cutInRecord = rest > 1 || (rest == 1 && last != dbf::kFileEnd);
  // A last record whose flag is still the end mark is an append that a kill
  // cut short before its end: no record.
  if (shape.whole > shape.declared) {
    char flag = 0;
    file.ReadAt(headerLength + (shape.whole - 1) * length, &flag, 1);
    if (flag == dbf::kFileEnd) --shape.whole;
  }
  shape.damagedFlags = CountDamagedFlags(file, layout, std::min(shape.declared, shape.whole));
  return shape;
}

std::vector<std::string> ReferenceTableWarnings(const std::string& name, const std::string& path) {
  std::vector<std::string> warnings;
  const TableFileShape shape = ReadTableShape(path);
  if (!shape.read) return warnings;
  const std::string table = VELT_ANSI("Таблица ") + name + " (" + ShownPath(path) + ")";
  std::string damage;
  auto add = [&damage](const std::string& part) { damage += (damage.empty() ? "" : "; ") + part; };
  if (shape.declared != shape.whole) add(CountLine(shape));
  if (shape.cutInRecord) add(VELT_ANSI("файл обрывается посреди записи"));
  if (shape.damagedFlags > 0)
    add(VELT_ANSI("записей с повреждённым флагом удаления (не пробел и не «*»): ") +
        Count(shape.damagedFlags));
  if (!damage.empty())
    warnings.push_back(table + VELT_ANSI(" повреждена: ") + damage +
                       VELT_ANSI(". Конвертация идёт по записям, которые объявляет заголовок и которые "
                                 "целы в файле; её результат может быть неверен. Восстановите таблицу из "
                                 "целой копии."));
  std::uint8_t languageDriver = 0;
  const CyrillicShares shares = MeasureTableText(path, languageDriver);
  if (auto hint = ContentHint(shares, "OEM", VELT_ANSI("таблицы ") + name + " (" + ShownPath(path) + ")"))
    warnings.push_back(*hint + VELT_ANSI(". Справочники и таблицы связок читаются в кодировке OEM (866): "
                                         "текст этой таблицы, вероятно, искажён. Восстановите её из целой "
                                         "копии."));
  return warnings;
}

}  // namespace velt
