#include "conversion/conversion_run.h"

#include <chrono>
#include <optional>

#include "conversion/home_region.h"
#include "conversion/output_layout.h"
#include "conversion/record_converter.h"
#include "conversion/run_session.h"
#include "conversion/table_damage.h"
#include "conversion/unmapped_report.h"
#include "reference/reference_tables.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/event_log.h"
#include "support/file_problem.h"
#include "support/pacer.h"
#include "support/partial_path.h"
#include "support/platform.h"
#include "support/rounding.h"
#include "support/run_state.h"
#include "support/text.h"

namespace velt {
namespace {

// How often a long walk lets the window process its events at least.
constexpr auto kEventInterval = std::chrono::milliseconds(100);

// What the host is warned of, the result keeps.
void Warn(RunHost& host, RunSummary& summary, const std::string& text) {
  summary.warnings.push_back(text);
  host.Warn(text);
}

// The records that the output tables gathered reach their files.
void FlushOutputs(RunTables& tables) {
  tables.OutNatives.FlushPosts();
  tables.OutExternals.FlushPosts();
}

// The same when the run already ends with an error: whatever can still be
// written is, and a failure here adds nothing to the error reported.
void FlushOutputsQuietly(RunTables& tables) {
  for (Table* table : {&tables.OutNatives, &tables.OutExternals}) {
    try {
      table->FlushPosts();
    } catch (const Error&) {
      // Dropped: the run's own error is the one the user reads.
    }
  }
}

// Releases what a run holds. A failure here is dropped without a message
// and skips the rest (false).
bool ReleaseRunTables(RunTables& tables, ReferenceTables* references) {
  try {
    if (references != nullptr) references->ReleaseAll();
    tables.VELTDBF.Close();
    tables.OutNatives.Close();
    tables.OutExternals.Close();
    return true;
  } catch (const Error&) {
    return false;
  }
}

// Puts the window back after an early end or an unhandled error.
void RestoreAfterAbnormalEnd(RunTables& tables, ReferenceTables* references, RunHost& host) {
  ReleaseRunTables(tables, references);
  host.SetMappingMenuEnabled(true);
  host.ShowProgress(false, 0);
  host.SetStatus(VELT_ANSI("Конвертация отменена"));
}

void OpenArchive(Table& archive, const RunSession& session) {
  archive.SetOEMTranslate(session.state.inputCodePage != "ANSI");
  archive.SetTableName(session.inputFilePath);
  archive.Open();
  archive.First();
}

// While the run walks the archive (counting it, passing over deleted
// records) the host has its checkpoints a few times a second, and a cancel
// stops the walk.
class ArchiveStopCheck {
 public:
  ArchiveStopCheck(Table& archive, RunHost& host) : archive_(archive) {
    archive.SetStopCheck([&host, pacer = Pacer(kEventInterval)]() mutable {
      if (pacer.Due()) host.Checkpoint();
      return host.Cancel().Requested();
    });
  }
  ~ArchiveStopCheck() { archive_.SetStopCheck({}); }
  ArchiveStopCheck(const ArchiveStopCheck&) = delete;
  ArchiveStopCheck& operator=(const ArchiveStopCheck&) = delete;

 private:
  Table& archive_;
};

std::string DamagedWarning(const std::string& archivePath, const RunSummary& summary) {
  return VELT_ANSI("В архиве ") + archivePath + VELT_ANSI(" пропущено повреждённых записей: ") +
         std::to_string(summary.damaged) + VELT_ANSI(", первая из них — запись № ") +
         std::to_string(summary.firstDamaged) +
         VELT_ANSI(
             ". Их флаг удаления не пробел и не «*»: такие записи не конвертируются, другие программы dBase "
             "их "
             "тоже не читают.");
}

// The first two characters of SMO as an integer, 0 when they are none.
int InsurerRegionOf(const Table& archive, int smoField) {
  return StrToIntDef(Copy(archive.TextView(smoField), 1, 2), 0);
}

// The archive record and the call an error met, and for a value too wide
// for its field, which field and value.
std::string RecordHint(const Table& archive, const Error& error) {
  std::string hint = VELT_ANSI("Запись архива № ") + std::to_string(archive.RecNo());
  int ngod = archive.Active() ? archive.FieldIndex("NGOD") : -1;
  if (ngod >= 0 && archive.RecNo() > 0)
    hint += VELT_ANSI(", вызов № ") + Trim(std::string(archive.TextView(ngod)));
  if (error.Kind() == ErrorKind::OutOfBounds && !error.Cause().empty()) hint += ": " + error.Cause();
  return hint + (error.Kind() == ErrorKind::OutOfBounds ? "." : "");
}

// Why the archive did not open, in Russian: the table layer's own cause
// when it gave one (two fields of one name), else what the file is.
std::string ArchiveOpenProblem(const std::string& path, const Error& error) {
  if (!error.Cause().empty() && platform::FileExists(path)) return TableProblemLine(path, error.Cause());
  return TableReadProblem(path);
}

// The engine's own line for the missing field, as a record would have met
// it, then the file and the field in Russian.
std::string MissingFieldError(Table& archive, const char* field, const std::string& path) {
  std::string engine;
  try {
    archive.FieldByName(field);
  } catch (const Error& error) {
    engine = error.what();
  }
  return engine + "\n" +
         TableProblemLine(
             path, VELT_ANSI("в архиве нет поля ") + field +
                       VELT_ANSI(", без него вызовы не конвертируются; таблицы результатов не созданы"));
}

// A file cut short is read up to its last whole record: the calls after it
// are missing, which the user must hear of.
// A header that counts fewer records than the file holds leaves the others
// out, which the user must hear of as well.
void WarnIfTruncated(const Table& archive, RunHost& host, RunSummary& summary) {
  const std::int64_t declared = archive.DeclaredCount();
  const std::int64_t present = archive.PhysicalCount();
  const std::int64_t whole = archive.WholeRecordsInFile();
  if (declared < whole)
    Warn(host, summary,
         VELT_ANSI("Заголовок архива ") + ShownPath(archive.TableName()) + VELT_ANSI(" объявляет записей: ") +
             std::to_string(declared) + VELT_ANSI(", а в файле целых записей: ") + std::to_string(whole) +
             VELT_ANSI(". Конвертируются только объявленные; записей не конвертировано: ") +
             std::to_string(whole - declared) + VELT_ANSI(". Проверьте архив: его мог не дописать VELT."));
  if (declared <= present) return;
  Warn(host, summary,
       VELT_ANSI("Архив ") + archive.TableName() + VELT_ANSI(" обрезан: заголовок объявляет записей: ") +
           std::to_string(declared) + VELT_ANSI(", в файле целых записей: ") + std::to_string(present) +
           VELT_ANSI(". Конвертируются только они; возьмите целую копию архива."));
}

// Reference and mapping tables that are damaged convert as they read, but
// the result rests on them: each is named.
void WarnOfDamagedReferences(RunHost& host, const RunSession& session, RunSummary& summary) {
  for (int i = 0; i < kLookupCount; ++i) {
    const auto slot = static_cast<Lookup>(i);
    for (const std::string& warning :
         ReferenceTableWarnings(LookupName(slot), ReferenceTablePath(session.state, slot)))
      Warn(host, summary, warning);
  }
}

// A table of an earlier run that this completed run did not replace: beside
// this run's table of the other kind, loading both would bring in calls of
// two runs; alone, it would be taken for this run's result.
void WarnIfEarlierLeft(RunHost& host, const RunSession& session, RunSummary& summary) {
  const bool none = !session.nativesOpen && !session.externalsOpen;
  auto left = [&](bool created, const std::string& path) {
    if (created || !platform::FileExists(path)) return;
    Warn(host, summary,
         VELT_ANSI("В папке вывода осталась таблица ") + ShownPath(path) +
             (none ? VELT_ANSI(" от прежней конвертации, а этот запуск не создал ни одной таблицы. Удалите "
                               "её, если она не нужна, иначе её вызовы могут быть загружены как вызовы "
                               "этого архива.")
                   : VELT_ANSI(" от прежней конвертации: этот запуск её не создавал и не изменял. Удалите "
                               "её, если она не нужна, иначе её вызовы могут быть загружены дважды.")));
  };
  left(session.nativesOpen, session.nativesFilePath);
  left(session.externalsOpen, session.externalsFilePath);
}

// A completed run puts each table it wrote in the place of the earlier one,
// with one rename.
void PutTablesInPlace(RunTables& tables, const RunSession& session) {
  auto put = [](Table& table, bool open, const std::string& path) {
    if (!open) return;
    try {
      table.MoveTo(path);
    } catch (const Error&) {
      throw Error(VELT_ANSI("Таблицу результатов нельзя поставить на место прежней.") + "\n" +
                  FileWriteProblem(path) + "\n" + VELT_ANSI("Новая таблица осталась в файле ") +
                  ShownPath(PartialPath(path)) + ".");
    }
  };
  put(tables.OutNatives, session.nativesOpen, session.nativesFilePath);
  put(tables.OutExternals, session.externalsOpen, session.externalsFilePath);
}

// After a cancel or an error the tables hold the calls up to that point,
// under their partial names; the tables of an earlier run stay as they were.
// The operator and the event log hear of them.
// When the run already ends with an error (`ending`), a log that cannot take
// the line adds nothing to it.
void WarnPartial(RunHost& host, RunSession& session, RunSummary& summary, bool ending) {
  std::string tables;
  auto add = [&](const std::string& path, std::int64_t records) {
    if (path.empty()) return;
    if (!tables.empty()) tables += ", ";
    tables += ShownPath(path) + " (" + std::to_string(records) + VELT_ANSI(" зап.)");
  };
  add(summary.nativesPath, summary.nativesWritten);
  add(summary.externalsPath, summary.externalsWritten);
  if (tables.empty()) return;
  const std::string warning = VELT_ANSI("Конвертация не завершена, таблицы неполные: ") + tables +
                              VELT_ANSI(
                                  ". Не загружайте их, повторите конвертацию. Таблицы прежней "
                                  "конвертации под именами без .partial не изменены.");
  Warn(host, summary, warning);
  try {
    session.Log(warning);
  } catch (const Error&) {
    if (!ending) throw;
  }
}

class Loop {
 public:
  Loop(RunTables& tables, RunHost& host, RunSession& session, RunSummary& summary)
      : tables_(tables), host_(host), session_(session), summary_(summary) {}

  void Run() {
    Table& archive = tables_.VELTDBF;
    const std::int64_t count = archive.Count();
    session_.archive.Resolve(archive);
    Pacer pacer(kEventInterval);
    unsigned turns = 0;
    const CancelToken& cancel = host_.Cancel();
    while (!archive.Eof() && !cancel.Requested()) {
      if (archive.IsDamaged())
        NoteDamaged(archive.RecNo());
      else if (!archive.IsDeleted())
        ConvertCurrent(archive);
      archive.Next();
      const std::int64_t recNo = archive.RecNo();
      if (recNo % session_.progressStep == 0) {
        FlushOutputs(tables_);
        host_.ShowProgress(true, ProgressPosition(recNo, count));
        host_.Progress(recNo, count);
        host_.Checkpoint();
      } else if (++turns % 64 == 0 && pacer.Due()) {
        // The records of one step may take long in a huge archive.
        host_.Checkpoint();
      }
    }
  }

 private:
  // A damaged record is not converted: its bytes are no call.
  void NoteDamaged(std::int64_t recNo) {
    if (summary_.damaged++ == 0) summary_.firstDamaged = recNo;
  }

  void ConvertCurrent(Table& archive) {
    ++summary_.recordsRead;
    const std::int64_t linesBefore = session_.logLines;
    Route(archive);
    if (session_.logLines != linesBefore) ++summary_.callsLogged;
  }

  void Route(Table& archive) {
    if (smoField_ < 0) smoField_ = archive.FieldByName("SMO").Index();
    const int insurerRegion = InsurerRegionOf(archive, smoField_);
    if (insurerRegion == kHomeRegion || insurerRegion == 0) {
      if (!session_.nativesOpen) Create(tables_.OutNatives, session_.nativesFilePath, session_.nativesOpen);
      session_.archive.Load();
      ConvertCallRecord(session_, tables_.OutNatives, true);
    } else if (insurerRegion > 0) {
      if (!session_.externalsOpen)
        Create(tables_.OutExternals, session_.externalsFilePath, session_.externalsOpen);
      session_.archive.Load();
      ConvertCallRecord(session_, tables_.OutExternals, false);
    } else {
      ++summary_.unrouted;
    }
  }

  // The output table belongs to the run until it ends: its records are
  // written in batches. A file that cannot be written at all ends the run
  // at the first record it would hold, with the file and that record named.
  static void Create(Table& table, const std::string& path, bool& open) {
    const std::string partial = PartialPath(path);
    try {
      CreateOutputTable(table, partial);
    } catch (const Error& error) {
      if (!error.Unavailable()) throw;
      throw Error(VELT_ANSI("Таблицу результатов нельзя записать.") + "\n" + FileWriteProblem(partial),
                  ErrorKind::Unavailable);
    }
    open = true;
    table.SetBatchedPosts(true);
  }

  RunTables& tables_;
  RunHost& host_;
  RunSession& session_;
  RunSummary& summary_;
  int smoField_ = -1;
};

void FillSummaryCounts(const RunTables& tables, const RunSession& session, RunSummary& summary) {
  summary.nativesWritten = session.nativesCounter - 1;
  summary.externalsWritten = session.externalsCounter - 1;
  if (tables.OutNatives.Active()) summary.nativesWritten = tables.OutNatives.PhysicalCount();
  if (tables.OutExternals.Active()) summary.externalsWritten = tables.OutExternals.PhysicalCount();
  // The name the table has now: its own once put in place, else the partial one.
  if (session.nativesOpen) summary.nativesPath = tables.OutNatives.TableName();
  if (session.externalsOpen) summary.externalsPath = tables.OutExternals.TableName();
  summary.skipped =
      summary.recordsRead - summary.unrouted - summary.nativesWritten - summary.externalsWritten;
  if (summary.skipped < 0) summary.skipped = 0;
}

// The run's unmapped values and problem calls go to its result, however it
// ends.
class KeepFindings {
 public:
  KeepFindings(RunSession& session, RunSummary& summary) : session_(session), summary_(summary) {}
  ~KeepFindings() {
    summary_.unmapped = std::move(session_.unmapped);
    summary_.problems = std::move(session_.problems);
  }
  KeepFindings(const KeepFindings&) = delete;
  KeepFindings& operator=(const KeepFindings&) = delete;

 private:
  RunSession& session_;
  RunSummary& summary_;
};

}  // namespace

int ProgressStepFor(std::int64_t count) {
  // A header counts at most 2^32 - 1 records, so the step fits an int.
  return static_cast<int>(RoundHalfEven(count > 0 ? count : 0, 100) + 1);
}

int ProgressPosition(std::int64_t recNo, std::int64_t count) {
  if (count <= 0) return 100;
  std::int64_t position = RoundHalfEven(recNo * 100, count);
  return position > 100 ? 100 : static_cast<int>(position);
}

namespace {

// Fills `summary`; the findings reach it as the session ends, after the
// last return.
void RunOnce(RunTables& tables, RunHost& host, const std::string& archivePath, const std::string& outputDir,
             RunSummary& summary) {
  RunSession session(State());
  session.gatherProblems = host.WantsProblems();
  KeepFindings keepFindings(session, summary);
  session.stationCategory = tables.stationCategory;
  host.PrepareProblems(session.problems);
  summary.codePage = session.state.inputCodePage == "ANSI" ? "ANSI" : "OEM";
  auto started = std::chrono::steady_clock::now();
  auto finish = [&](RunOutcome outcome) {
    summary.outcome = outcome;
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    summary.logLines = session.logLines;
    tables.stationCategory = session.stationCategory;
  };

  host.SetMappingMenuEnabled(false);
  host.ShowProgress(true, 0);
  host.SetStatus(VELT_ANSI("Выполняется конвертация..."));
  session.inputFilePath = archivePath;
  session.Log(VELT_ANSI("Запущена конвертация файла ") + session.inputFilePath);
  host.Checkpoint();

  try {
    session.tables.OpenAll();
  } catch (const Error& error) {
    host.ShowMessage(error.what());
    session.Log(VELT_ANSI("Ошибка создания индексов. Конвертация отменена"));
    RestoreAfterAbnormalEnd(tables, &session.tables, host);
    finish(RunOutcome::EndedEarly);
    return;
  }
  const std::string sep(1, platform::PathSeparator());
  session.inputFileName = platform::FileNamePart(session.inputFilePath);
  session.nativesFilePath = outputDir + sep + "t" + session.inputFileName;
  session.externalsFilePath = outputDir + sep + "te" + session.inputFileName;

  session.stationCode = StrToIntDef(Copy(session.inputFileName, 2, 3), 0);
  summary.stationCode = session.stationCode;
  if (session.stationCode == 0) {
    // The second line says whether there is no such archive at all (the
    // window passes its label's text when none is chosen) or which name
    // lacks the code.
    host.ShowMessage(
        VELT_ANSI(
            "Неверный код ЛПУ в имени файла. Переименуйте входной файл ВЕЛТ в виде F<ЛПУ><ГГ><ММ>.DBF.") +
        "\n" +
        (platform::FileExists(archivePath)
             ? TableProblemLine(
                   archivePath,
                   VELT_ANSI("в имени нет кода ЛПУ: за первой буквой должны идти три цифры, не 000"))
             : VELT_ANSI("Файл архива не выбран или не найден: ") + ShownPath(archivePath) + "."));
    session.Log(VELT_ANSI("Конвертация отменена"));
    RestoreAfterAbnormalEnd(tables, &session.tables, host);
    finish(RunOutcome::EndedEarly);
    return;
  }
  ArchiveStopCheck stopCheck(tables.VELTDBF, host);
  try {
    OpenArchive(tables.VELTDBF, session);
  } catch (const Error& error) {
    // The file and the cause (not found, held by another program, no dBase
    // table, ...) on a second line.
    host.ShowMessage(VELT_ANSI("Закройте все открытые файлы DBF") + "\n" +
                     ArchiveOpenProblem(archivePath, error));
    session.Log(VELT_ANSI("Конвертация отменена. Ошибка открытия VELTDBF"));
    RestoreAfterAbnormalEnd(tables, &session.tables, host);
    finish(RunOutcome::EndedEarly);
    return;
  }
  if (auto problem = FolderWriteProblem(outputDir)) {
    // Found before the first record: no table is begun that cannot be ended.
    host.ShowMessage(VELT_ANSI("Таблицы результатов нельзя записать в папку вывода.") + "\n" + *problem);
    session.Log(VELT_ANSI("Конвертация отменена"));
    RestoreAfterAbnormalEnd(tables, &session.tables, host);
    finish(RunOutcome::EndedEarly);
    return;
  }
  WarnIfTruncated(tables.VELTDBF, host, summary);
  WarnOfDamagedReferences(host, session, summary);
  session.progressStep = ProgressStepFor(tables.VELTDBF.Count());
  host.Checkpoint();
  // Found before the first record, so that no output table is begun; a run
  // cancelled while the archive was counted converts nothing and ends as such.
  const char* missing = host.Cancel().Requested() ? nullptr : MissingArchiveField(tables.VELTDBF);
  if (missing != nullptr) {
    std::string text = MissingFieldError(tables.VELTDBF, missing, archivePath);
    RestoreAfterAbnormalEnd(tables, &session.tables, host);
    finish(RunOutcome::EndedEarly);
    throw Error(text);
  }

  // What the tables hold reaches the file, and the run ends with the error
  // (any exception: one of memory or of a library too) with its summary and
  // the partial tables named.
  auto endEarly = [&] {
    FlushOutputsQuietly(tables);
    FillSummaryCounts(tables, session, summary);
    RestoreAfterAbnormalEnd(tables, &session.tables, host);
    WarnPartial(host, session, summary, true);
    finish(RunOutcome::EndedEarly);
  };
  auto fail = [&](const std::string& text) {
    endEarly();
    throw Error(text);
  };
  try {
    Loop(tables, host, session, summary).Run();
    // The last batch reaches the file before the run reports its end.
    FlushOutputs(tables);
  } catch (const Error& error) {
    fail(std::string(error.what()) + "\n" + RecordHint(tables.VELTDBF, error));
  } catch (...) {
    endEarly();
    throw;
  }
  // Read once: a cancel asked for from now on comes too late to matter.
  const bool cancelled = host.Cancel().Requested();
  if (!cancelled) {
    try {
      PutTablesInPlace(tables, session);
    } catch (const Error& error) {
      fail(error.what());
    }
  }
  FillSummaryCounts(tables, session, summary);
  if (!cancelled) WarnIfEarlierLeft(host, session, summary);
  if (summary.damaged > 0) {
    // Never a plain success: the log and the user hear of the skipped records.
    const std::string warning = DamagedWarning(session.inputFilePath, summary);
    session.Log(warning);
    Warn(host, summary, warning);
  }

  host.SetMappingMenuEnabled(true);
  host.ShowProgress(false, 0);
  host.SetStatus(cancelled ? VELT_ANSI("Конвертация отменена") : VELT_ANSI("Конвертация выполнена"));
  session.Log(cancelled ? VELT_ANSI("Конвертация файла ") + session.inputFilePath + VELT_ANSI(" отменена.")
                        : VELT_ANSI("Конвертация файла ") + session.inputFilePath +
                              VELT_ANSI(" успешно завершена."));
  ReleaseRunTables(tables, &session.tables);
  if (cancelled) WarnPartial(host, session, summary, false);
  finish(cancelled ? RunOutcome::Cancelled : RunOutcome::Completed);
}

}  // namespace

RunSummary RunConversion(RunTables& tables, RunHost& host, const std::string& archivePath,
                         const std::string& outputDir, RunSummary* ended) {
  RunSummary own;
  RunSummary& summary = ended != nullptr ? *ended : own;
  try {
    RunOnce(tables, host, archivePath, outputDir, summary);
    return ended != nullptr ? summary : std::move(own);
  } catch (...) {
    // An error outside the record loop (an event log that cannot be written
    // at the start or at the end), or one of memory, leaves the tables
    // released and the window usable too, or the next run could not open
    // them again.
    RestoreAfterAbnormalEnd(tables, nullptr, host);
    throw;
  }
}

}  // namespace velt
