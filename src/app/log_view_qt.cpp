#include "app/log_view_qt.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>

#include "app/rtf_reader.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/platform.h"

namespace velt {
namespace {

Qt::Alignment AlignmentOf(RtfAlignment alignment) {
  switch (alignment) {
    case RtfAlignment::kCenter:
      return Qt::AlignHCenter;
    case RtfAlignment::kRight:
      return Qt::AlignRight;
    case RtfAlignment::kJustify:
      return Qt::AlignJustify;
    case RtfAlignment::kLeft:
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

QString ToQt(const std::string& text1251) { return QString::fromStdString(AnsiToUtf8(text1251)); }

std::string FromQt(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

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

void LoadTextFile(QTextEdit& box, const std::string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) throw Error("Cannot open file \"" + path + "\".");
  ShowRichOrPlainText(box, bytes);
}

}  // namespace velt
