#pragma once
// How the core tells the user something: the windows show a message box, the
// command line writes to standard error. Text is Windows-1251.
#include <string>

namespace velt {

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  virtual void ShowMessage(const std::string& text) = 0;
};

// The process-wide receiver (standard error until a window installs itself).
UserMessages& Messages();
void SetMessages(UserMessages* receiver);  // nullptr restores standard error

}  // namespace velt
