#pragma once
// Filling the main window's read-only text boxes (the instructions and the
// event log view) from a file: as rich text when the file is RTF, otherwise
// as plain Windows-1251 text.
#include <QString>
#include <cstdint>
#include <string>

class QTextEdit;

namespace velt {

// Replaces the box's content by `bytes`.
void ShowRichOrPlainText(QTextEdit& box, const std::string& bytes);

// The event log in the box: the whole file when it holds at most `limit`
// bytes, else its last whole lines within `limit` bytes, as plain text, after
// a line saying that the older lines are in the file. Raises "Cannot open
// file "<path>"." when the file cannot be read.
void LoadLogTail(QTextEdit& box, const std::string& path, std::uint64_t limit);

// Reads the whole file into the box; raises "Cannot open file "<path>"."
// when the file cannot be read (the box then keeps its content).
void LoadTextFile(QTextEdit& box, const std::string& path);

}  // namespace velt
