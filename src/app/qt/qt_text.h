// GBK texts at the Qt edge: the logic's "\r\n" line breaks become Qt's "\n" and back.
#pragma once

#include <QString>
#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

QString gbk_to_qstring(std::string_view gbk);    // "\r\n" becomes "\n"
Text qstring_to_gbk(const QString& text);        // every line break becomes "\r\n"
QString utf8_to_qstring(std::string_view utf8);  // layout data; "\r\n" becomes "\n"

}  // namespace stdlookup
