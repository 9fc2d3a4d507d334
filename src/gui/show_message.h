#pragma once
// How a window tells the user something: through the function its opener
// hands it, which the main window answers with its message box. A window
// opened without one (a test, a tool) writes to standard error instead.
#include <functional>
#include <string>

namespace velt {

using ShowMessageFn = std::function<void(const std::string& text1251)>;

// The message on standard error, in UTF-8.
void MessageToStandardError(const std::string& text1251);

}  // namespace velt
