#pragma once
// The core's Windows-1251 text to the windows' Unicode and back.
#include <QString>
#include <string>
#include <string_view>

namespace velt {

QString ToQt(std::string_view text1251);
// '?' for a letter that 1251 lacks.
std::string FromQt(const QString& text);

}  // namespace velt
