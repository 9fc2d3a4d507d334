#include "conversion/run_targets.h"

#include "reference/reference_tables.h"
#include "support/code_page.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support/run_state.h"

namespace velt {

std::string NativesTablePath(const std::string& outputDir, const std::string& archive) {
  return outputDir + platform::PathSeparator() + "t" + platform::FileNamePart(archive);
}

std::string ExternalsTablePath(const std::string& outputDir, const std::string& archive) {
  return outputDir + platform::PathSeparator() + "te" + platform::FileNamePart(archive);
}

void AddRunFiles(WriteTargets& targets, const std::vector<std::string>& archives,
                 const std::string& outputDir) {
  for (const std::string& archive : archives) {
    const std::string of = VELT_ANSI(" архива ") + ShownPath(archive);
    targets.Reads(archive, VELT_ANSI("архив"));
    targets.Writes(NativesTablePath(outputDir, archive), VELT_ANSI("таблица результатов") + of);
    targets.Writes(ExternalsTablePath(outputDir, archive), VELT_ANSI("таблица результатов") + of);
  }
  const RunState& state = State();
  for (int i = 0; i < kLookupCount; ++i) {
    const Lookup slot = static_cast<Lookup>(i);
    const bool mapping = std::string(LookupName(slot)).starts_with("tr");
    targets.Reads(ReferenceTablePath(state, slot),
                  mapping ? VELT_ANSI("таблица связок") : VELT_ANSI("справочник"));
    targets.Writes(ReferenceIndexPath(state, slot), VELT_ANSI("файл индекса"));
  }
  for (const char* supplied : {"PAVK_VALUES.dbf", "VELT_DEFCODES.DBF"})
    targets.Reads(ProgramFile(state.mappingDirPath + platform::PathSeparator(), supplied),
                  VELT_ANSI("таблица кодов ПАВК и ВЕЛТ"));
  targets.Writes(state.logFilePath, VELT_ANSI("журнал событий"));
}

std::optional<std::string> RepeatedArchive(const std::vector<std::string>& archives) {
  for (std::size_t i = 0; i < archives.size(); ++i)
    for (std::size_t j = i + 1; j < archives.size(); ++j) {
      if (archives[i] != archives[j] && !platform::SameFile(archives[i], archives[j])) continue;
      return VELT_ANSI("Архив указан дважды: ") + ShownPath(archives[i]) + VELT_ANSI(" и ") +
             ShownPath(archives[j]) + "\n" +
             VELT_ANSI("Это один и тот же файл; его вызовы были бы сосчитаны дважды. Укажите его один раз.");
    }
  return std::nullopt;
}

}  // namespace velt
