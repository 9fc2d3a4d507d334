// Prints a dBase table as the program's table layer sees it, and writes small
// tables for checks with other dBase readers.
//
//   velt_dbf dump FILE [--ansi]      header, fields and visible records (UTF-8)
//   velt_dbf sample FILE             a fixed table: Cyrillic, N, D, blanks, one deleted record
//   velt_dbf append FILE N [--sleep] appends N records, each posted; then
//                                    prints "posted N" and, with --sleep, waits to be killed
//
// Tables are opened with OEM translation (code page 866 on disk) unless
// --ansi is given. Values print as the table reads them as text: numbers in
// plain decimal, dates dd.mm.yyyy, blank numbers and dates empty.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "support/code_page.h"
#include "support/date_time.h"
#include "support/error.h"
#include "table/table.h"

namespace {

int Usage() {
  std::cerr << "usage: velt_dbf dump FILE [--ansi] | sample FILE | append FILE N [--sleep]\n";
  return 2;
}

char Hex(int v) { return "0123456789abcdef"[v & 15]; }

std::string HexByte(std::uint8_t b) { return std::string("0x") + Hex(b >> 4) + Hex(b); }

int Dump(const std::string& path, bool oem) {
  velt::Table table;
  table.SetTableName(path);
  table.SetOEMTranslate(oem);
  table.Open();
  std::cout << "language " << HexByte(table.LanguageDriver()) << "\n";
  std::cout << "records " << table.PhysicalCount() << "\n";
  std::cout << "visible " << table.Count() << "\n";
  for (const velt::FieldInfo& field : table.Fields())
    std::cout << "field " << field.name << ' ' << field.type << ' ' << field.width << ' ' << field.decimals
              << "\n";
  for (table.First(); !table.Eof(); table.Next()) {
    std::cout << "record " << table.RecNo();
    for (int i = 0; i < table.FieldCount(); ++i) std::cout << '\t' << velt::AnsiToUtf8(table.AsString(i));
    std::cout << "\n";
  }
  return 0;
}

// The layout that the interoperability checks expect.
int Sample(const std::string& path) {
  velt::Table table;
  table.SetOEMTranslate(true);
  table.CreateNew(path, 2, 6);
  table.CreateField("NAME", "C", 20, 0);
  table.CreateField("CODE", "N", 4, 0);
  table.CreateField("SUM", "N", 10, 2);
  table.CreateField("BORN", "D", 8, 0);
  table.CreateField("NOTE", "C", 5, 0);
  table.CreateField("BIG", "N", 8, 0);
  table.CreateExec();
  table.SetTableName(path);
  table.Open();
  struct Row {
    const char* name;
    int code;
    double sum;
    int year, month, day;
    const char* note;
  };
  const Row rows[] = {{"Иванов Пётр", 12, 12.345, 1980, 2, 29, "abc"},
                      {"Ёлкина-Щукина Эльза", -7, -0.5, 2023, 12, 31, ""},
                      {"Удаляемая", 1, 1, 2000, 1, 1, "x"},
                      {"", 0, 0, 0, 0, 0, ""}};
  for (const Row& row : rows) {
    table.Append();
    table.SetString(0, velt::Utf8ToAnsi(row.name));
    if (row.year != 0) {
      table.SetInteger(1, row.code);
      table.SetFloat(2, row.sum);
      velt::DateTime born = 0;
      velt::TryEncodeDate(row.year, row.month, row.day, born);
      table.SetDateTime(3, born);
      table.SetFloat(5, 1234567);
    }
    table.SetString(4, row.note);
    table.Post();
  }
  table.First();
  table.Next();
  table.Next();
  table.Delete();
  return 0;
}

int AppendRecords(const std::string& path, int count, bool sleep) {
  velt::Table table;
  table.SetTableName(path);
  table.SetOEMTranslate(true);
  table.Open();
  for (int n = 1; n <= count; ++n) {
    table.Append();
    for (int i = 0; i < table.FieldCount(); ++i) {
      switch (table.Kind(i)) {
        case velt::FieldKind::Text:
          table.SetString(i, velt::Utf8ToAnsi("Запись ") + std::to_string(n));
          break;
        case velt::FieldKind::Integer:
        case velt::FieldKind::Float:
          table.SetInteger(i, n % 1000);
          break;
        case velt::FieldKind::Date:
          table.SetDateTime(i, 40000 + n);
          break;
        default:
          break;
      }
    }
    table.Post();
  }
  std::cout << "posted " << count << std::endl;
  if (sleep)
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(60));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string command = argv[1], path = argv[2];
  std::string option = argc > 3 ? argv[argc - 1] : "";
  try {
    if (command == "dump") return Dump(path, option != "--ansi");
    if (command == "sample") return Sample(path);
    if (command == "append" && argc > 3) return AppendRecords(path, std::stoi(argv[3]), option == "--sleep");
  } catch (const velt::Error& error) {
    std::cerr << velt::AnsiToUtf8(error.what()) << "\n";
    return 1;
  }
  return Usage();
}
