#include "gui/show_message.h"

#include <cstdio>

#include "support/code_page.h"

namespace velt {

void MessageToStandardError(const std::string& text1251) {
  std::fprintf(stderr, "%s\n", AnsiToUtf8(text1251).c_str());
}

}  // namespace velt
