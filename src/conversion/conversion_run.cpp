#include "conversion/conversion_run.h"

#include <array>
#include <chrono>

#include "conversion/output_layout.h"
#include "conversion/record_converter.h"
#include "conversion/unmapped_report.h"
#include "reference/reference_tables.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/event_log.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support/text.h"
#include "support/user_messages.h"

namespace velt {
namespace {

// The order in which a run opens the reference and mapping tables.
constexpr std::array<const char*, 12> kOpenOrder = {"tr_from", "tr_reas", "tr_reas1", "tr_rslt",
                                                    "tr_vid",  "tr_lpu",  "tr_trag",  "city",
                                                    "street",  "f002",    "tarif",    "lpu"};
constexpr int kHomeRegion = 74;

void Log(const std::string& message) {
  AddToLog(State().LogFilePath, message, true, kStampPattern);
}

int RoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
  std::int64_t q = numerator / denominator;
  std::int64_t r2 = (numerator % denominator) * 2;
  if (r2 > denominator || (r2 == denominator && q % 2 != 0)) ++q;
  return static_cast<int>(q);
}

// Releases what a run holds. A failure here is dropped without a message
// and skips the rest (false).
bool ReleaseRunTables(RunTables& tables) {
  try {
    ReleaseReferenceTables();
    tables.VELTDBF.Close();
    tables.OutNatives.Close();
    tables.OutExternals.Close();
    return true;
  } catch (const Error&) {
    return false;
  }
}

// Puts the window back after an early end or an unhandled error.
void RestoreAfterAbnormalEnd(RunTables& tables, RunHost& host) {
  ReleaseRunTables(tables);
  host.SetMappingMenuEnabled(true);
  host.ShowProgress(false, 0);
  host.SetStatus(W("Конвертация отменена"));
}

bool OpenReferenceTables() {
  for (const char* name : kOpenOrder)
    if (!OpenReferenceTable(name)) return false;
  return true;
}

bool OpenArchive(Table& archive, const RunState& state) {
  try {
    archive.SetOEMTranslate(state.InputCodePage != "ANSI");
    archive.SetTableName(state.InputFilePath);
    archive.Open();
    archive.First();
    return true;
  } catch (const Error&) {
    return false;
  }
}

// The first two characters of SMO as an integer, 0 when they are none.
int InsurerRegionOf(const Table& archive, int smoField) {
  return StrToIntDef(Copy(archive.TextView(smoField), 1, 2), 0);
}

std::string RecordHint(const Table& archive) {
  std::string hint = W("Запись архива № ") + std::to_string(archive.RecNo());
  int ngod = archive.Active() ? archive.FieldIndex("NGOD") : -1;
  if (ngod >= 0 && archive.RecNo() > 0) hint += W(", вызов № ") + std::string(archive.TextView(ngod));
  return hint;
}

class Loop {
 public:
  Loop(RunTables& tables, RunHost& host, RunState& state, RunSummary& summary)
      : tables_(tables), host_(host), state_(state), summary_(summary) {}

  void Run() {
    Table& archive = tables_.VELTDBF;
    int count = archive.Count();
    while (!archive.Eof() && !state_.AbortRequested) {
      if (!archive.IsDeleted()) ConvertCurrent(archive);
      archive.Next();
      int recNo = archive.RecNo();
      if (recNo % state_.ProgressStep == 0) {
        host_.ShowProgress(true, ProgressPosition(recNo, count));
        host_.ProcessEvents();
      }
    }
  }

 private:
  void ConvertCurrent(Table& archive) {
    ++summary_.recordsRead;
    if (smoField_ < 0) smoField_ = archive.FieldByName("SMO").Index();
    state_.InsurerRegion = InsurerRegionOf(archive, smoField_);
    if (state_.InsurerRegion == kHomeRegion || state_.InsurerRegion == 0) {
      if (!state_.NativesOpen)
        state_.NativesOpen = CreateOutputTable(tables_.OutNatives, state_.NativesFilePath);
      ConvertCallRecord(archive, tables_.OutNatives, true);
    } else if (state_.InsurerRegion > 0) {
      if (!state_.ExternalsOpen)
        state_.ExternalsOpen = CreateOutputTable(tables_.OutExternals, state_.ExternalsFilePath);
      ConvertCallRecord(archive, tables_.OutExternals, false);
    } else {
      ++summary_.unrouted;
    }
  }

  RunTables& tables_;
  RunHost& host_;
  RunState& state_;
  RunSummary& summary_;
  int smoField_ = -1;
};

void FillSummaryCounts(const RunTables& tables, const RunState& state, RunSummary& summary) {
  summary.nativesWritten = state.NativesCounter - 1;
  summary.externalsWritten = state.ExternalsCounter - 1;
  if (tables.OutNatives.Active()) summary.nativesWritten = tables.OutNatives.PhysicalCount();
  if (tables.OutExternals.Active()) summary.externalsWritten = tables.OutExternals.PhysicalCount();
  summary.skipped =
      summary.recordsRead - summary.unrouted - summary.nativesWritten - summary.externalsWritten;
  if (summary.skipped < 0) summary.skipped = 0;
}

}  // namespace

int ProgressStepFor(int count) { return RoundHalfEven(count, 100) + 1; }

int ProgressPosition(int recNo, int count) {
  if (count <= 0) return 100;
  int position = RoundHalfEven(static_cast<std::int64_t>(recNo) * 100, count);
  return position > 100 ? 100 : position;
}

namespace {

RunSummary RunOnce(RunTables& tables, RunHost& host, const std::string& archivePath,
                   const std::string& outputDir) {
  RunState& state = State();
  RunSummary summary;
  auto started = std::chrono::steady_clock::now();
  std::uint64_t linesBefore = LogLinesWritten();
  auto finish = [&](RunOutcome outcome) {
    summary.outcome = outcome;
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    summary.logLines = static_cast<std::int64_t>(LogLinesWritten() - linesBefore);
    return summary;
  };

  host.SetMappingMenuEnabled(false);
  host.ShowProgress(true, 0);
  host.SetStatus(W("Выполняется конвертация..."));
  state.InputFilePath = archivePath;
  Log(W("Запущена конвертация файла ") + state.InputFilePath);
  host.ProcessEvents();

  if (!OpenReferenceTables()) {
    Log(W("Ошибка создания индексов. Конвертация отменена"));
    RestoreAfterAbnormalEnd(tables, host);
    return finish(RunOutcome::EndedEarly);
  }
  state.NativesCounter = 1;
  state.ExternalsCounter = 1;
  state.NativesOpen = false;
  state.ExternalsOpen = false;
  const std::string sep(1, platform::PathSeparator());
  state.InputFileName = platform::FileNamePart(state.InputFilePath);
  state.NativesFilePath = outputDir + sep + "t" + state.InputFileName;
  state.ExternalsFilePath = outputDir + sep + "te" + state.InputFileName;

  state.StationCode = StrToIntDef(Copy(state.InputFileName, 2, 3), 0);
  if (state.StationCode == 0) {
    Messages().ShowMessage(
        W("Неверный код ЛПУ в имени файла. Переименуйте входной файл ВЕЛТ в виде F<ЛПУ><ГГ><ММ>.DBF."));
    Log(W("Конвертация отменена"));
    RestoreAfterAbnormalEnd(tables, host);
    return finish(RunOutcome::EndedEarly);
  }
  if (!OpenArchive(tables.VELTDBF, state)) {
    Messages().ShowMessage(W("Закройте все открытые файлы DBF"));
    Log(W("Конвертация отменена. Ошибка открытия VELTDBF"));
    RestoreAfterAbnormalEnd(tables, host);
    return finish(RunOutcome::EndedEarly);
  }
  state.ProgressStep = ProgressStepFor(tables.VELTDBF.Count());
  host.ProcessEvents();

  try {
    Loop(tables, host, state, summary).Run();
  } catch (const Error& error) {
    std::string text = std::string(error.what()) + "\n" + RecordHint(tables.VELTDBF);
    FillSummaryCounts(tables, state, summary);
    RestoreAfterAbnormalEnd(tables, host);
    throw Error(text);
  }
  FillSummaryCounts(tables, state, summary);

  host.SetMappingMenuEnabled(true);
  host.ShowProgress(false, 0);
  bool cancelled = state.AbortRequested;
  host.SetStatus(cancelled ? W("Конвертация отменена") : W("Конвертация выполнена"));
  Log(cancelled ? W("Конвертация файла ") + state.InputFilePath + W(" отменена.")
                : W("Конвертация файла ") + state.InputFilePath + W(" успешно завершена."));
  if (ReleaseRunTables(tables)) state.AbortRequested = false;
  return finish(cancelled ? RunOutcome::Cancelled : RunOutcome::Completed);
}

}  // namespace

RunSummary RunConversion(RunTables& tables, RunHost& host, const std::string& archivePath,
                         const std::string& outputDir) {
  LastRunUnmapped().Clear();
  try {
    return RunOnce(tables, host, archivePath, outputDir);
  } catch (const Error&) {
    // An error outside the record loop (an event log that cannot be written
    // at the start or at the end) leaves the tables released and the window
    // usable too, or the next run could not open them again.
    RestoreAfterAbnormalEnd(tables, host);
    throw;
  }
}

}  // namespace velt
