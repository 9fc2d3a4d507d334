#include "conversion/record_context.h"

#include <algorithm>
#include <iterator>

#include "conversion/run_session.h"
#include "table/dbf_value.h"

namespace velt {

const char* ArchiveFieldName(In field) {
  static const char* const kNames[static_cast<int>(In::Count)] = {
      "PROF",  "NPOLIS", "SPOL", "FAM",   "IMYA", "OTCH",     "KOD1", "DATA_R", "POL",  "TDOKUM", "NDOKUM",
      "SNILS", "CITY",   "ULIC", "DOM",   "KVAR", "SMO",      "NUMV", "NGOD",   "DPRM", "TPRM",   "TISP",
      "DSHS",  "DS1",    "REZL", "ISHOD", "PRFB", "COD_SPEC", "TSTA", "KUDA",   "POVD", "TRAV",   "POVT",
      "MEST",  "KILO",   "DOKT", "PRTY",  "TPER", "VYEZ",     "PRZD", "TGSP"};
  return kNames[static_cast<int>(field)];
}

const char* MissingArchiveField(const Table& archive) {
  constexpr In kOptional[] = {In::NPOLIS, In::SPOL, In::KOD1, In::DATA_R, In::ISHOD, In::COD_SPEC};
  for (int i = 0; i < static_cast<int>(In::Count); ++i) {
    const In field = static_cast<In>(i);
    if (std::find(std::begin(kOptional), std::end(kOptional), field) != std::end(kOptional)) continue;
    if (archive.FieldIndex(ArchiveFieldName(field)) < 0) return ArchiveFieldName(field);
  }
  return nullptr;
}

void ArchiveRecord::Resolve(Table& archive) {
  if (table_ == &archive && serial_ == archive.OpenSerial()) return;
  textSlots_.clear();
  for (int i = 0; i < static_cast<int>(In::Count); ++i) {
    pos_[i] = archive.FieldIndex(ArchiveFieldName(static_cast<In>(i)));
    text_[i] = pos_[i] >= 0 && archive.Kind(pos_[i]) == FieldKind::Text;
    if (text_[i]) {
      offset_[i] = archive.Field(pos_[i]).offset;
      width_[i] = archive.Field(pos_[i]).width;
      textSlots_.push_back(i);
    }
  }
  table_ = &archive;
  serial_ = archive.OpenSerial();
}

void ArchiveRecord::Load() {
  record_ = table_->CurrentRecord();
  for (int slot : textSlots_)
    views_[slot] =
        dbf::TrimRight(std::string_view(record_ + offset_[slot], static_cast<std::size_t>(width_[slot])));
  // A wrapped counter would take stale views for decoded ones.
  if (++generation_ == 0) {
    decodedAt_.fill(0);
    generation_ = 1;
  }
}

std::string_view ArchiveRecord::Decode(In field) const {
  const int slot = Slot(field);
  int pos = pos_[slot];
  // A field the archive lacks: the table raises its own "Field 'X' not
  // found", with the table object's name in front.
  if (pos < 0) pos = table_->FieldByName(ArchiveFieldName(field)).Index();
  rendered_[slot] = table_->AsString(record_, pos);
  views_[slot] = rendered_[slot];
  decodedAt_[slot] = generation_;
  return views_[slot];
}

int ArchiveRecord::Integer(In field) const {
  int pos = pos_[Slot(field)];
  if (pos < 0) pos = table_->FieldByName(ArchiveFieldName(field)).Index();
  return table_->AsInteger(record_, pos);
}

RecordContext::RecordContext(RunSession& runSession, OutputRecord& outputRecord, bool isNative)
    : session(runSession), in(runSession.archive), out(outputRecord), isNative(isNative) {}

}  // namespace velt
