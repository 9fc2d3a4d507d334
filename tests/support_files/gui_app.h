#pragma once
// The one QApplication of a window test program: made by the first test that
// needs it and deleted after the last test, before the process's exit
// handlers run (Qt's own objects must not outlive it).
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <functional>

namespace velt::testing {

inline QApplication& GuiApp() {
  static QApplication* app = nullptr;
  if (app == nullptr) {
    static int argc = 1;
    static char name[] = "gui_test";
    static char* argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
    class DeleteApp : public ::testing::Environment {
     public:
      void TearDown() override {
        delete app;
        app = nullptr;
      }
    };
    ::testing::AddGlobalTestEnvironment(new DeleteApp);
  }
  return *app;
}

// Processes the events of the test's thread until `done` holds, as a
// window's event loop would while a run goes on its own thread and its
// calls arrive queued; false after `limitMs` without it.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs = 60000) {
  QElapsedTimer waited;
  waited.start();
  while (!done()) {
    if (waited.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

}  // namespace velt::testing
