#include "conversion/record_context.h"

#include "support/text.h"

namespace velt {

const char* ArchiveFieldName(In field) {
  static const char* const kNames[static_cast<int>(In::Count)] = {
      "PROF",  "NPOLIS", "SPOL", "FAM",   "IMYA", "OTCH",     "KOD1", "DATA_R", "POL",  "TDOKUM", "NDOKUM",
      "SNILS", "CITY",   "ULIC", "DOM",   "KVAR", "SMO",      "NUMV", "NGOD",   "DPRM", "TPRM",   "TISP",
      "DSHS",  "DS1",    "REZL", "ISHOD", "PRFB", "COD_SPEC", "TSTA", "KUDA",   "POVD", "TRAV",   "POVT",
      "MEST",  "KILO",   "DOKT", "PRTY",  "TPER", "VYEZ",     "PRZD", "TGSP"};
  return kNames[static_cast<int>(field)];
}

void ArchiveFields::Resolve(const Table& input) {
  for (int i = 0; i < static_cast<int>(In::Count); ++i) {
    pos_[i] = input.FieldIndex(ArchiveFieldName(static_cast<In>(i)));
  }
  table_ = &input;
  serial_ = input.OpenSerial();
}

bool ArchiveFields::ResolvedFor(const Table& input) const {
  return table_ == &input && serial_ == input.OpenSerial();
}

std::string_view RecordContext::Text(In field) const {
  int pos = in.Pos(field);
  // A field the archive lacks: let the table raise its own "Field 'X' not
  // found", with the table object's name in front.
  if (pos < 0) pos = input.FieldByName(ArchiveFieldName(field)).Index();
  if (input.Kind(pos) == FieldKind::Text) return input.TextView(pos);
  // Numbers and dates only exist as text once rendered (a date as
  // dd.mm.yyyy); the rendering is kept here so that a view can be handed out.
  std::string& rendered = rendered_[static_cast<int>(field)];
  rendered = input.AsString(pos);
  return rendered;
}

Table& RecordContext::Ref(Lookup slot) const {
  Table* table = state.LookupTables.Get(slot);
  // An empty slot behaves as the closed table it stands for.
  if (table == nullptr) throw Error("Cannot perform this operation on a closed table");
  return *table;
}

int IntegerOrFail(std::string_view text) {
  int value = 0;
  if (!TryStrToInt(text, value)) throw GroupFailure();
  return value;
}

}  // namespace velt
