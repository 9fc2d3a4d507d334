#pragma once
// The operator's guide: one Markdown text with its pictures, compiled into
// the program (resources/help), shown in a plain browser window that stays
// open beside the main window. F1 and the menu open it; a second call
// brings the open window to the front.
class QWidget;

namespace velt {

// The guide's address among the program's resources.
inline constexpr const char* kGuideSource = "qrc:/help/guide.md";

void ShowHelp(QWidget* owner);

}  // namespace velt
