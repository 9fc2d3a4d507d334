#pragma once
// The fixed 98-field layout of the intermediate tables that the receiving
// system loads, and the creation of an empty table of that layout.
#include <array>
#include <string>

#include "table/table.h"

namespace velt {

struct OutputField {
  const char* name;
  char type;
  int width;
  int decimals;
};

inline constexpr int kOutputFieldCount = 98;
inline constexpr int kOutputRecordLength = 1236;  // deletion flag + 1235 bytes of fields

inline constexpr std::array<OutputField, kOutputFieldCount> kOutputLayout = {{
    {"VPOLIC", 'N', 1, 0},      {"SPOLIC", 'C', 10, 0},     {"NUMBER", 'C', 20, 0},
    {"FAMILY", 'C', 40, 0},     {"NAME", 'C', 40, 0},       {"FATHER", 'C', 40, 0},
    {"DATE", 'D', 8, 0},        {"SEX", 'N', 1, 0},         {"STATUS", 'N', 1, 0},
    {"FAM_P", 'C', 40, 0},      {"IM_P", 'C', 40, 0},       {"OT_P", 'C', 40, 0},
    {"SEX_P", 'N', 1, 0},       {"DATE_P", 'D', 8, 0},      {"MR", 'C', 100, 0},
    {"DOCTYPE", 'C', 2, 0},     {"DOCSER", 'C', 10, 0},     {"DOCNUM", 'C', 20, 0},
    {"SNILS", 'C', 11, 0},      {"NOVOR", 'C', 9, 0},       {"CITYSTREET", 'C', 15, 0},
    {"HOUSE", 'N', 4, 0},       {"IND_HOUSE", 'C', 3, 0},   {"ROOM", 'N', 4, 0},
    {"IND_ROOM", 'C', 1, 0},    {"COD_LPU", 'N', 4, 0},     {"COD_SMO", 'C', 5, 0},
    {"EXTR", 'N', 2, 0},        {"NHISTORY", 'C', 9, 0},    {"PLACE", 'N', 2, 0},
    {"PURPOSE", 'C', 2, 0},     {"COD_SPEC", 'N', 4, 0},    {"RSRCH_ID", 'C', 15, 0},
    {"TARIF", 'N', 10, 2},      {"DATE_TAR", 'D', 8, 0},    {"DATE_BEG", 'D', 8, 0},
    {"TIME_BEG", 'C', 5, 0},    {"DATE_END", 'D', 8, 0},    {"TIME_END", 'C', 5, 0},
    {"UET", 'N', 5, 2},         {"BED_DAY", 'N', 3, 0},     {"AMOUNT", 'N', 5, 0},
    {"BED_CARE", 'N', 3, 0},    {"TARIF_CARE", 'N', 10, 2}, {"DATE_CARE", 'D', 8, 0},
    {"COD_MKB0", 'C', 7, 0},    {"COD_MKB", 'C', 7, 0},     {"COD_MKB1", 'C', 7, 0},
    {"RSLT", 'N', 2, 0},        {"ISHOD", 'N', 2, 0},       {"COD_PRER", 'N', 1, 0},
    {"IDDOCT", 'C', 16, 0},     {"TARIF_FF", 'N', 10, 2},   {"TARIF_TF", 'N', 10, 2},
    {"DATE_TAR_M", 'D', 8, 0},  {"TARIF_SNGL", 'N', 10, 2}, {"DATE_TAR_S", 'D', 8, 0},
    {"HEIGHT", 'N', 2, 0},      {"WEIGHT", 'N', 4, 0},      {"LONG_R", 'N', 1, 0},
    {"MES_ID", 'N', 2, 0},      {"MODEL_ID", 'N', 2, 0},    {"MED_KIND", 'N', 2, 0},
    {"LPU_FROM", 'N', 4, 0},    {"SROKBER", 'N', 2, 0},     {"COND_ID", 'N', 3, 0},
    {"OS_SLUCH", 'C', 3, 0},    {"VIDPOM", 'N', 4, 0},      {"DELETED", 'N', 1, 0},
    {"MEDUS_ID", 'C', 250, 0},  {"KVAL", 'C', 1, 0},        {"SIZETAR_ID", 'N', 2, 0},
    {"VISIT_DATE", 'D', 8, 0},  {"SP_REAS", 'N', 2, 0},     {"SP_VID", 'N', 2, 0},
    {"SP_BRIG", 'N', 2, 0},     {"SP_FROM", 'N', 2, 0},     {"SP_DATE", 'D', 8, 0},
    {"SP_TIME", 'C', 5, 0},     {"SP_KM", 'N', 4, 0},       {"FSS_TRAUMA", 'N', 1, 0},
    {"ATTACH", 'N', 4, 0},      {"NREESTR", 'N', 2, 0},     {"OKATO_OMS", 'C', 5, 0},
    {"SMO_NAM", 'C', 100, 0},   {"N_ZAP", 'N', 8, 0},       {"SUM_K", 'N', 11, 2},
    {"SUM_CARE_K", 'N', 11, 2}, {"SUMV", 'N', 11, 2},       {"FILE_TYPE", 'C', 2, 0},
    {"DOCTOR", 'C', 15, 0},     {"FOR_POM", 'N', 1, 0},     {"SP_TRAG", 'N', 2, 0},
    {"SP_DT1", 'C', 16, 0},     {"SP_DT2", 'C', 16, 0},     {"SP_DT3", 'C', 16, 0},
    {"SP_DT4", 'C', 16, 0},     {"LPU_TO", 'N', 4, 0},
}};

// Where each field starts in a record (the deletion flag is byte 0).
inline constexpr std::array<int, kOutputFieldCount> kOutputOffsets = [] {
  std::array<int, kOutputFieldCount> offsets{};
  int offset = 1;
  for (int i = 0; i < kOutputFieldCount; ++i) {
    offsets[i] = offset;
    offset += kOutputLayout[i].width;
  }
  return offsets;
}();
static_assert(kOutputOffsets[kOutputFieldCount - 1] + kOutputLayout[kOutputFieldCount - 1].width ==
              kOutputRecordLength);

// Positions of the output fields: a table made by CreateOutputTable has its
// fields in exactly this order.
enum class Out : int {
  VPOLIC,
  SPOLIC,
  NUMBER,
  FAMILY,
  NAME,
  FATHER,
  DATE,
  SEX,
  STATUS,
  FAM_P,
  IM_P,
  OT_P,
  SEX_P,
  DATE_P,
  MR,
  DOCTYPE,
  DOCSER,
  DOCNUM,
  SNILS,
  NOVOR,
  CITYSTREET,
  HOUSE,
  IND_HOUSE,
  ROOM,
  IND_ROOM,
  COD_LPU,
  COD_SMO,
  EXTR,
  NHISTORY,
  PLACE,
  PURPOSE,
  COD_SPEC,
  RSRCH_ID,
  TARIF,
  DATE_TAR,
  DATE_BEG,
  TIME_BEG,
  DATE_END,
  TIME_END,
  UET,
  BED_DAY,
  AMOUNT,
  BED_CARE,
  TARIF_CARE,
  DATE_CARE,
  COD_MKB0,
  COD_MKB,
  COD_MKB1,
  RSLT,
  ISHOD,
  COD_PRER,
  IDDOCT,
  TARIF_FF,
  TARIF_TF,
  DATE_TAR_M,
  TARIF_SNGL,
  DATE_TAR_S,
  HEIGHT,
  WEIGHT,
  LONG_R,
  MES_ID,
  MODEL_ID,
  MED_KIND,
  LPU_FROM,
  SROKBER,
  COND_ID,
  OS_SLUCH,
  VIDPOM,
  DELETED,
  MEDUS_ID,
  KVAL,
  SIZETAR_ID,
  VISIT_DATE,
  SP_REAS,
  SP_VID,
  SP_BRIG,
  SP_FROM,
  SP_DATE,
  SP_TIME,
  SP_KM,
  FSS_TRAUMA,
  ATTACH,
  NREESTR,
  OKATO_OMS,
  SMO_NAM,
  N_ZAP,
  SUM_K,
  SUM_CARE_K,
  SUMV,
  FILE_TYPE,
  DOCTOR,
  FOR_POM,
  SP_TRAG,
  SP_DT1,
  SP_DT2,
  SP_DT3,
  SP_DT4,
  LPU_TO
};

// Creates a new empty table of the layout at path (an existing file is
// replaced, unless an open holds it) and opens it exclusively in `table`.
// Every failure raises: a file that could not be written at all as an
// Unavailable error.
void CreateOutputTable(Table& table, const std::string& path);

}  // namespace velt
