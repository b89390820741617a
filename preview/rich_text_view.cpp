#include "preview/rich_text_view.h"

#include <QColor>
#include <QTextCharFormat>
#include <QTextCursor>

namespace salvorine {

void FillTextDocument(QTextDocument& target, const RichDocument& document) {
  target.clear();
  QTextCursor cursor(&target);
  cursor.beginEditBlock();
  bool first = true;
  for (const Paragraph& paragraph : document.paragraphs) {
    if (!first) cursor.insertBlock();
    first = false;
    for (const TextRun& run : paragraph.runs) {
      QTextCharFormat format;
      format.setFontWeight(run.style.bold ? QFont::Bold : QFont::Normal);
      format.setFontItalic(run.style.italic);
      format.setFontUnderline(run.style.underline);
      if (run.style.half_points > 0) format.setFontPointSize(run.style.half_points / 2.0);
      if (!run.style.font.empty()) format.setFontFamilies({QString::fromStdString(run.style.font)});
      if (run.style.has_color) format.setForeground(QColor(QRgb(run.style.color)));
      // Line breaks inside a paragraph stay in the same block.
      cursor.insertText(QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size()))
                            .replace(QLatin1Char('\n'), QChar::LineSeparator),
                        format);
    }
  }
  cursor.endEditBlock();
}

}  // namespace salvorine
