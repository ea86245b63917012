#pragma once

#include <QStringList>

class QCoreApplication;

// Qt's own texts in Chinese: the file dialog, the buttons of message boxes, the context menus of
// edit fields. The monitor speaks Chinese whatever the system's language, so it loads Qt's Chinese
// catalogues where the system has them (Debian's qt6-translations-l10n, or a "translations" folder
// beside the executable as Windows deployments have it) and runs on in English where it has none.
namespace QtTranslations {
// Installs the catalogues found on the application; returns the names of those loaded.
QStringList install(QCoreApplication& app);
} // namespace QtTranslations
