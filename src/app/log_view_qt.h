#pragma once
// Filling the main window's read-only text boxes (the instructions and the
// event log view) from a file: as rich text when the file is RTF, otherwise
// as plain Windows-1251 text.
#include <QString>
#include <string>

class QTextEdit;

namespace velt {

// Windows-1251 bytes of the core to the window's Unicode and back.
QString ToQt(const std::string& text1251);
std::string FromQt(const QString& text);

// Replaces the box's content by `bytes`.
void ShowRichOrPlainText(QTextEdit& box, const std::string& bytes);

// Reads the whole file into the box; raises "Cannot open file "<path>"."
// when the file cannot be read (the box then keeps its content).
void LoadTextFile(QTextEdit& box, const std::string& path);

}  // namespace velt
