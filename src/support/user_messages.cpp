#include "support/user_messages.h"

#include <cstdio>

#include "support/code_page.h"

namespace velt {
namespace {

class StandardError : public UserMessages {
 public:
  void ShowMessage(const std::string& text) override {
    std::fprintf(stderr, "%s\n", AnsiToUtf8(text).c_str());
  }
};

UserMessages* g_receiver = nullptr;

}  // namespace

UserMessages& Messages() {
  static StandardError standardError;
  return g_receiver != nullptr ? *g_receiver : standardError;
}

void SetMessages(UserMessages* receiver) { g_receiver = receiver; }

}  // namespace velt
