#pragma once

#include <QLocale>

class QCoreApplication;

namespace tavro {

// Qt's own translations for `locale` (Debian's qt6-translations-l10n), so
// that the standard buttons and menus of boxes and editors speak the
// desktop's language as the system's own boxes do. The program's own texts
// stay as they are. False when there is none for that language.
bool installQtTranslations(QCoreApplication& application, const QLocale& locale = QLocale());

}  // namespace tavro
