#include "gui/log_view_qt.h"

#include <QLocale>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>

#include "gui/qt_text.h"
#include "state/rtf_reader.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/platform.h"

namespace velt {
namespace {

Qt::Alignment AlignmentOf(RtfAlignment alignment) {
  switch (alignment) {
    case RtfAlignment::Center:
      return Qt::AlignHCenter;
    case RtfAlignment::Right:
      return Qt::AlignRight;
    case RtfAlignment::Justify:
      return Qt::AlignJustify;
    case RtfAlignment::Left:
      break;
  }
  return Qt::AlignLeft;
}

QTextCharFormat FormatOf(const RtfRun& run, const QFont& base) {
  QTextCharFormat format;
  QFont font = base;
  font.setBold(run.bold);
  font.setItalic(run.italic);
  font.setUnderline(run.underline);
  if (run.pointSize > 0) font.setPointSizeF(run.pointSize);
  format.setFont(font);
  return format;
}

void ShowDocument(QTextEdit& box, const RtfDocument& document) {
  box.clear();
  QTextCursor cursor(box.document());
  bool first = true;
  for (const RtfParagraph& paragraph : document.paragraphs) {
    QTextBlockFormat block;
    block.setAlignment(AlignmentOf(paragraph.alignment));
    if (first)
      cursor.setBlockFormat(block);
    else
      cursor.insertBlock(block);
    first = false;
    for (const RtfRun& run : paragraph.runs) {
      QString text = QString::fromStdString(run.text);
      // A line break inside a paragraph stays inside it.
      text.replace(QChar('\n'), QChar::LineSeparator);
      cursor.insertText(text, FormatOf(run, box.font()));
    }
  }
  box.moveCursor(QTextCursor::Start);
}

}  // namespace

void ShowRichOrPlainText(QTextEdit& box, const std::string& bytes) {
  if (std::optional<RtfDocument> document = ReadRtf(bytes)) {
    ShowDocument(box, *document);
    return;
  }
  QString text = ToQt(bytes);
  // The log is written with CR LF line ends.
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box.setPlainText(text);
}

void LoadLogTail(QTextEdit& box, const std::string& path, std::uint64_t limit) {
  platform::File file;
  if (file.Open(path, platform::File::Mode::Read, platform::File::Lock::None) != platform::OpenResult::Ok)
    throw Error("Cannot open file \"" + path + "\".");
  const std::uint64_t size = file.Size();
  if (size <= limit) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    bytes.resize(file.ReadAt(0, bytes.data(), bytes.size()));
    ShowRichOrPlainText(box, bytes);
    return;
  }
  std::string bytes(static_cast<std::size_t>(limit), '\0');
  bytes.resize(file.ReadAt(size - limit, bytes.data(), bytes.size()));
  // The part shown begins with a whole line.
  const std::size_t lineEnd = bytes.find('\n');
  const std::size_t start = lineEnd == std::string::npos ? 0 : lineEnd + 1;
  const double omittedMb = static_cast<double>(size - (bytes.size() - start)) / (1024.0 * 1024.0);
  QString text = QString::fromStdString(AnsiToUtf8(std::string_view(bytes).substr(start)));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box.setPlainText(
      QStringLiteral("… Показан конец журнала; более ранние строки (%1 МБ) находятся в файле %2\n")
          .arg(QLocale(QLocale::Russian).toString(omittedMb, 'f', 1), ToQt(path)) +
      text);
}

void LoadTextFile(QTextEdit& box, const std::string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) throw Error("Cannot open file \"" + path + "\".");
  ShowRichOrPlainText(box, bytes);
}

}  // namespace velt
