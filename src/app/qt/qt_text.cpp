#include "app/qt/qt_text.h"

#include "runtime/gbk.h"

namespace stdlookup {

QString utf8_to_qstring(std::string_view utf8) {
  QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

QString gbk_to_qstring(std::string_view gbk) {
  return utf8_to_qstring(gbk_to_utf8(gbk));
}

Text qstring_to_gbk(const QString& text) {
  QString lines = text;
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  lines.replace(QChar::ParagraphSeparator, QChar('\n'));
  lines.replace(QChar::LineSeparator, QChar('\n'));
  lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  QByteArray utf8 = lines.toUtf8();
  return utf8_to_gbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace stdlookup
