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

extern const std::array<OutputField, kOutputFieldCount> kOutputLayout;

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
// replaced) and opens it in `table`. False when the creation failed; an
// error while opening the new file is raised to the caller.
bool CreateOutputTable(Table& table, const std::string& path);

}  // namespace velt
