#pragma once
// A run host for the tests: records what the run shows, tells and warns of, and can
// press "cancel" at a chosen checkpoint.
#include <string>
#include <vector>

#include "conversion/conversion_run.h"

namespace velt::testing {

class FakeRunHost : public RunHost {
 public:
  void Checkpoint() override {
    ++events;
    if (cancelAtEvent > 0 && events == cancelAtEvent) Cancel().Request();
  }
  void SetMappingMenuEnabled(bool enabled) override { menuEnabled = enabled; }
  void ShowProgress(bool visible, int position) override {
    barVisible = visible;
    if (visible) positions.push_back(position);
  }
  void SetStatus(const std::string& text) override { status = text; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void Warn(const std::string& text) override { warnings.push_back(text); }

  int events = 0;
  int cancelAtEvent = 0;  // 0: never
  bool menuEnabled = true;
  bool barVisible = false;
  std::vector<int> positions;
  std::string status;
  std::vector<std::string> messages;
  std::vector<std::string> warnings;
};

}  // namespace velt::testing
