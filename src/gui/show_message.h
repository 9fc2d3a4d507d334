#pragma once
// How a window tells the user something: through the function its opener
// hands it, which the main window answers with its message box. A window
// opened without one (a test, a tool) writes to standard error instead.
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

namespace velt {

// What a message is, for the icon of its box.
enum class MessageKind { Error, Warning, Question, Information };

// Called with the text (1251) and its kind, Error when none is said. Made
// from a function that takes both, or only the text (a test that records
// what was shown).
class ShowMessageFn {
 public:
  using Full = std::function<void(const std::string& text1251, MessageKind kind)>;

  ShowMessageFn() = default;
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, ShowMessageFn>>>
  ShowMessageFn(F&& f) {  // NOLINT(google-explicit-constructor): used as a function
    if constexpr (std::is_invocable_v<F&, const std::string&, MessageKind>)
      show_ = std::forward<F>(f);
    else
      show_ = [g = std::forward<F>(f)](const std::string& text, MessageKind) mutable { g(text); };
  }

  void operator()(const std::string& text1251, MessageKind kind = MessageKind::Error) const {
    if (show_) show_(text1251, kind);
  }
  explicit operator bool() const { return static_cast<bool>(show_); }

 private:
  Full show_;
};

// The message on standard error, in UTF-8.
void MessageToStandardError(const std::string& text1251);

}  // namespace velt
