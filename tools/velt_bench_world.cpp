// Generates the benchmark's world: an application folder with the sample's
// mapping tables and small references, a large settlement and street
// reference, and a large call archive.
//
//   velt_bench_world OUT_DIR SAMPLE_APP_DIR KLADR_CITY_CSV [calls] [streets] [failing]
//
// `failing` gives every call a date of birth that is no date, so that each
// one logs a failed field group (the memory of --problems).
//
// Settlement names come from the KLADR settlement table (rewritten into the
// home region); street names are invented (no public street table exists).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/code_page.h"
#include "support/error.h"
#include "table/table.h"

namespace fs = std::filesystem;
using velt::Table;

namespace {

struct Settlement {
  std::string name;  // 1251
  std::string socr;
  std::string code;  // 11 digits
  std::vector<int> streets;
};

struct Street {
  std::string name;
  std::string socr;
  std::string code;
};

std::vector<Settlement> ReadSettlements(const std::string& csv) {
  std::ifstream in(csv);
  std::string line;
  std::getline(in, line);  // header
  std::vector<Settlement> out;
  while (std::getline(in, line)) {
    auto first = line.find(','), last = line.rfind(',');
    if (first == std::string::npos || last == first) continue;
    std::string name = line.substr(0, first);
    std::string code = line.substr(last + 1);
    if (name.size() > 1 && name.front() == '"') name = name.substr(1, name.size() - 2);
    if (code.size() < 11) continue;
    bool city = code.substr(5, 3) != "000" && code.substr(8, 3) == "000";
    out.push_back({velt::Utf8ToAnsi(name), velt::Utf8ToAnsi(city ? "г" : "п"), "74" + code.substr(2, 9), {}});
  }
  return out;
}

std::vector<std::string> StreetNamePool() {
  const char* base[] = {"Ленина",      "Мира",      "Советская",    "Школьная",          "Садовая",
                        "Победы",      "Октября",   "Северная",     "Полевая",           "Молодежная",
                        "Центральная", "Лесная",    "Набережная",   "Гагарина",          "Заводская",
                        "Кирова",      "Пушкина",   "Чапаева",      "Комсомольская",     "Новая",
                        "Зеленая",     "Трудовая",  "Рабочая",      "Пионерская",        "Луговая",
                        "Речная",      "Солнечная", "Строителей",   "Нагорная",          "Весенняя",
                        "Цветочная",   "Овражная",  "Партизанская", "Интернациональная", "Первомайская",
                        "Энергетиков", "Шоссейная", "Почтовая",     "Вокзальная",        "Береговая"};
  std::vector<std::string> pool;
  for (const char* b : base) {
    pool.push_back(velt::Utf8ToAnsi(b));
    for (int i = 1; i <= 24; ++i)
      pool.push_back(velt::Utf8ToAnsi(b) + " " + std::to_string(i) + velt::Utf8ToAnsi("-я"));
  }
  return pool;
}

void CreateTable(Table& t, const std::string& path,
                 const std::vector<std::tuple<const char*, char, int, int>>& fields) {
  t.SetOEMTranslate(true);
  t.CreateNew(path, 2, static_cast<int>(fields.size()));
  for (auto& [name, type, width, dec] : fields) t.CreateField(name, std::string(1, type), width, dec);
  t.CreateExec();
  t.SetTableName(path);
  t.Open();
}

std::string Hhmm(int minutes) {
  minutes = ((minutes % 1440) + 1440) % 1440;
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d:%02d", minutes / 60, minutes % 60);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: velt_bench_world OUT_DIR SAMPLE_APP_DIR KLADR_CITY_CSV [calls] [streets]\n");
    return 2;
  }
  std::string out = argv[1], sample = argv[2], csv = argv[3];
  long calls = argc > 4 ? std::stol(argv[4]) : 1000000;
  long streetCount = argc > 5 ? std::stol(argv[5]) : 200000;
  const bool failing = argc > 6 && std::string(argv[6]) == "failing";
  try {
    fs::create_directories(out + "/app");
    fs::copy(sample, out + "/app", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    std::mt19937 rng(1234);
    auto settlements = ReadSettlements(csv);
    while (settlements.size() < 5000) {  // top up to 5,000 with numbered copies
      Settlement s = settlements[settlements.size() % 4000];
      s.name += " " + std::to_string(settlements.size());
      s.code = "74" + std::to_string(900000000 + settlements.size()).substr(0, 9);
      settlements.push_back(s);
    }
    settlements.resize(5000);
    auto pool = StreetNamePool();
    const char* socrs[] = {"ул", "ул", "ул", "ул", "пер", "пр-кт"};

    std::vector<Street> streets;
    std::uniform_int_distribution<int> pick(0, static_cast<int>(pool.size()) - 1);
    for (long i = 0; i < streetCount; ++i) {
      // Cities (the first 60 settlements) hold about half of the streets.
      std::size_t s = i % 2 == 0 ? i / 2 % 60 : 60 + (i / 2) % (settlements.size() - 60);
      char code[32];
      std::snprintf(code, sizeof code, "%s%04d00", settlements[s].code.c_str(),
                    static_cast<int>(settlements[s].streets.size() + 1) % 10000);
      settlements[s].streets.push_back(static_cast<int>(streets.size()));
      streets.push_back({pool[pick(rng)], velt::Utf8ToAnsi(socrs[i % 6]), code});
    }

    std::string pavk = out + "/app/pavkdirs/";
    {
      Table city;
      CreateTable(city, pavk + "city.dbf",
                  {{"NAME", 'C', 40, 0}, {"SOCR", 'C', 10, 0}, {"CODE", 'C', 11, 0}});
      for (auto& s : settlements) {
        city.Append();
        city.SetString(0, s.name);
        city.SetString(1, s.socr);
        city.SetString(2, s.code);
        city.Post();
      }
      Table street;
      CreateTable(street, pavk + "street.dbf",
                  {{"NAME", 'C', 40, 0}, {"SOCR", 'C', 10, 0}, {"CODE", 'C', 17, 0}});
      for (auto& s : streets) {
        street.Append();
        street.SetString(0, s.name);
        street.SetString(1, s.socr);
        street.SetString(2, s.code);
        street.Post();
      }
    }

    // The archive, with the sample's layout.
    Table sampleArchive;
    sampleArchive.SetTableName(fs::path(sample).parent_path().string() + "/archives/F1232401.DBF");
    std::string archivePath = out + "/F1232401.DBF";
    sampleArchive.SetOEMTranslate(true);
    sampleArchive.CopyStructure(archivePath);
    Table archive("VELTDBF");
    archive.SetOEMTranslate(true);
    archive.SetTableName(archivePath);
    archive.Open();
    const char* surnames[] = {"Иванов", "Петрова", "Сидоров", "Кузнецова", "Смирнов", "Попова"};
    const char* smo[] = {"740011", "740052", "740073", "450011", "020031", "740011"};
    const char* profiles[] = {"Л", "Ф", "А", "К", "П", "Б", "Т", ""};
    const char* kuda[] = {"ГКБ 8", "ГКБ 21", "ДБ 17", "РД 3", "ЦГБ", "ТП 1", "Хоспис"};
    std::vector<std::string> surnames1251, smo1251, prof1251, kuda1251;
    for (auto s : surnames) surnames1251.push_back(velt::Utf8ToAnsi(s));
    for (auto s : profiles) prof1251.push_back(velt::Utf8ToAnsi(s));
    for (auto s : kuda) kuda1251.push_back(velt::Utf8ToAnsi(s));
    auto F = [&](const char* name) { return archive.FieldByName(name).Index(); };
    int fNgod = F("NGOD"), fNumv = F("NUMV"), fProf = F("PROF"), fPrfb = F("PRFB"), fSpol = F("SPOL"),
        fFam = F("FAM"), fImya = F("IMYA"), fOtch = F("OTCH"), fKod1 = F("KOD1"), fPol = F("POL"),
        fTdok = F("TDOKUM"), fNdok = F("NDOKUM"), fSnils = F("SNILS"), fCity = F("CITY"), fUlic = F("ULIC"),
        fDom = F("DOM"), fKvar = F("KVAR"), fSmo = F("SMO"), fDprm = F("DPRM"), fTprm = F("TPRM"),
        fTisp = F("TISP"), fTper = F("TPER"), fVyez = F("VYEZ"), fPrzd = F("PRZD"), fDshs = F("DSHS"),
        fDs1 = F("DS1"), fRezl = F("REZL"), fIshod = F("ISHOD"), fKuda = F("KUDA"), fPovd = F("POVD"),
        fTrav = F("TRAV"), fPovt = F("POVT"), fMest = F("MEST"), fKilo = F("KILO"), fDokt = F("DOKT"),
        fPrty = F("PRTY");
    std::string eq = "=", ul = velt::Utf8ToAnsi("ул. ");
    for (long n = 1; n <= calls; ++n) {
      const Settlement& s = settlements[rng() % 200];
      archive.Append();
      archive.SetString(fNgod, std::to_string(n));
      archive.SetString(fNumv, std::to_string(100000 + n));
      archive.SetString(fProf, prof1251[rng() % prof1251.size()]);
      archive.SetString(fPrfb, prof1251[rng() % prof1251.size()]);
      archive.SetString(fSpol, std::to_string(1000000000000000LL + static_cast<long long>(rng()) * 997));
      archive.SetString(fFam, surnames1251[rng() % surnames1251.size()]);
      archive.SetString(fImya, velt::Utf8ToAnsi("Иван"));
      archive.SetString(fOtch, velt::Utf8ToAnsi("Петрович"));
      archive.SetString(fKod1, "0" + std::to_string(1 + rng() % 9) + ".0" + std::to_string(1 + rng() % 9) +
                                   ".19" + std::to_string(40 + rng() % 60));
      if (failing) archive.SetString(fKod1, "99.99.9999");
      archive.SetString(fPol, velt::Utf8ToAnsi(n % 2 ? "М" : "Ж"));
      archive.SetString(fTdok, "14");
      archive.SetString(fNdok, "75 02 " + std::to_string(100000 + rng() % 899999));
      archive.SetString(fSnils, "123-456-789 64");
      archive.SetString(fCity, eq + s.name);
      const std::string& streetName =
          s.streets.empty() ? pool[0] : streets[s.streets[rng() % s.streets.size()]].name;
      archive.SetString(fUlic, ul + streetName);
      archive.SetString(fDom, std::to_string(1 + rng() % 150));
      archive.SetString(fKvar, std::to_string(1 + rng() % 300));
      archive.SetString(fSmo, smo[rng() % 6]);
      archive.SetString(
          fDprm, "2401" + std::string(1, static_cast<char>('1' + rng() % 2)) + std::to_string(rng() % 9));
      int start = static_cast<int>(rng() % 1440);
      archive.SetString(fTprm, Hhmm(start));
      archive.SetString(fTisp, Hhmm(start + 90));
      archive.SetString(fTper, Hhmm(start + 2));
      archive.SetString(fVyez, Hhmm(start + 15));
      archive.SetString(fPrzd, Hhmm(start + 30));
      archive.SetString(fDshs, "I10");
      archive.SetString(fDs1, "J06.9");
      archive.SetString(fRezl, std::to_string(401 + rng() % 17));
      archive.SetInteger(fIshod, 401 + static_cast<int>(rng() % 3));
      archive.SetString(fKuda, kuda1251[rng() % kuda1251.size()]);
      archive.SetString(fPovd, "0" + std::to_string(1 + rng() % 9));
      archive.SetString(fTrav, "0" + std::to_string(1 + rng() % 7));
      archive.SetString(fPovt, std::to_string(1 + rng() % 4));
      archive.SetString(fMest, std::to_string(1 + rng() % 6));
      archive.SetString(fKilo, std::to_string(rng() % 60));
      archive.SetString(fDokt, velt::Utf8ToAnsi("Петрова А.И."));
      archive.SetString(fPrty, std::to_string(1 + rng() % 7));
      archive.Post();
    }
    std::printf("world written to %s: %ld calls, %zu settlements, %zu streets\n", out.c_str(), calls,
                settlements.size(), streets.size());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", velt::AnsiToUtf8(e.what()).c_str());
    return 1;
  }
}
