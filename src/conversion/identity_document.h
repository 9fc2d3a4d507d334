#pragma once
// The identity document check: a document number against the form its type
// prescribes, and the split of an accepted number into series and number.
#include <string>
#include <string_view>

namespace velt {

struct DocumentParts {
  std::string type;  // decimal type, "" when rejected
  std::string series;
  std::string number;
};

// Three empty texts when the document is rejected.
DocumentParts SplitDocument(std::string_view typeText, std::string_view numberText);
bool MatchDocumentMask(std::string_view number, std::string_view mask);
// The mask of a document type 1..24 ("" outside).
const std::string& DocumentMask(int type);

}  // namespace velt
