#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <algorithm>

QStringList QtTranslations::install(QCoreApplication& app)
{
    const QStringList folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                 QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    QStringList loaded;
    for (const QString& catalogue : {QStringLiteral("qtbase_zh_CN"), QStringLiteral("qtmultimedia_zh_CN")}) {
        auto* translator = new QTranslator(&app);
        const bool found = std::any_of(folders.begin(), folders.end(),
                                       [&](const QString& folder) { return translator->load(catalogue, folder); });
        if (found && QCoreApplication::installTranslator(translator))
            loaded << catalogue;
        else
            delete translator;
    }
    return loaded;
}
