#pragma once

#include <QString>
#include <string>

namespace tavro {

// The core keeps text as bytes in the locale's encoding, as the files hold
// it; the window converts at this one border.
inline QString localText(const std::string& bytes) { return QString::fromLocal8Bit(bytes); }
inline std::string localBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

}  // namespace tavro
