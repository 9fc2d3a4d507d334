// Builds and reads Clipper NTX index files, for tests and for people.
//
//   velt_ntx build TABLE.dbf OUT.ntx EXPR [COND] [--desc] [--oem]
//       opens the table (866 on disk with --oem) and indexes it as the
//       program does, through Table::Index.
//   velt_ntx dump FILE.ntx
//       prints the header, then one line per key in tree order:
//       record number, a tab, the key bytes as stored.
//
// Expressions on the command line are UTF-8 and reach the table as 1251.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/code_page.h"
#include "support/error.h"
#include "support/platform.h"
#include "table/table.h"

namespace {

int Usage() {
  std::fputs(
      "usage: velt_ntx build TABLE.dbf OUT.ntx EXPR [COND] [--desc] [--oem]\n"
      "       velt_ntx dump FILE.ntx\n",
      stderr);
  return 2;
}

int Build(const std::vector<std::string>& args) {
  std::vector<std::string> plain;
  bool descending = false, oem = false;
  for (const std::string& a : args) {
    if (a == "--desc") {
      descending = true;
    } else if (a == "--oem") {
      oem = true;
    } else {
      plain.push_back(a);
    }
  }
  if (plain.size() < 3 || plain.size() > 4) return Usage();
  velt::Table table;
  table.SetTableName(plain[0]);
  table.SetOEMTranslate(oem);
  table.Open();
  const std::string condition = plain.size() == 4 ? velt::Utf8ToAnsi(plain[3]) : std::string();
  table.Index(plain[1], velt::Utf8ToAnsi(plain[2]), 0, descending, condition);
  table.SetOrder(1);
  std::printf("%lld keys\n", static_cast<long long>(table.Count()));
  return 0;
}

unsigned U16(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
std::uint32_t U32(const std::string& b, std::size_t at) {
  return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

// In-order walk: child 0, key 0, child 1, ..., child N. Depth is bounded so
// that a damaged file with a cycle ends.
bool Walk(const std::string& file, std::uint32_t page, unsigned keySize, int depth) {
  if (depth > 64 || page % 1024 != 0 || page == 0 || page + 1024 > file.size()) {
    std::fprintf(stderr, "bad page pointer %u\n", page);
    return false;
  }
  const unsigned n = U16(file, page);
  for (unsigned i = 0; i <= n; ++i) {
    const std::size_t entry = page + U16(file, page + 2 + 2 * i);
    if (entry + 8 + keySize > page + 1024) {
      std::fprintf(stderr, "bad entry offset in page %u\n", page);
      return false;
    }
    const std::uint32_t child = U32(file, entry);
    if (child != 0 && !Walk(file, child, keySize, depth + 1)) return false;
    if (i < n) {
      std::printf("%u\t", U32(file, entry + 4));
      std::fwrite(file.data() + entry + 8, 1, keySize, stdout);
      std::putchar('\n');
    }
  }
  return true;
}

int Dump(const std::string& path) {
  std::string file;
  if (!velt::platform::ReadWholeFile(path, file) || file.size() < 1024) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  const unsigned keySize = U16(file, 14);
  std::printf("# signature %u, key size %u, decimals %u, max keys %u, expression %s, condition %s\n",
              U16(file, 0), keySize, U16(file, 16), U16(file, 18), file.c_str() + 22, file.c_str() + 282);
  return Walk(file, U32(file, 4), keySize, 0) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "build") return Build(args);
    if (command == "dump" && args.size() == 1) return Dump(args[0]);
  } catch (const velt::Error& e) {
    std::fprintf(stderr, "%s\n", velt::AnsiToUtf8(e.what()).c_str());
    return 1;
  }
  return Usage();
}
