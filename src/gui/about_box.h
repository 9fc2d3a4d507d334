#pragma once
// The About box: the program's version (the same text as `veltconv
// --version`) and the date of its build.
class QWidget;

namespace velt {

void ShowAboutBox(QWidget* parent);

}  // namespace velt
