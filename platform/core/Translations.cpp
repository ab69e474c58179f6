// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/core/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>
#include <dlfcn.h>

#if !defined(PEALIX_CATALOGUE) || !defined(PEALIX_TRANSLATIONS_FROM)
#error "the catalogue and its folder relative to this binary's folder must be defined"
#endif

Q_LOGGING_CATEGORY(lcTranslations, "pealix.translations", QtWarningMsg)

namespace platform {

namespace {

// The languages in gettext's order of preference: LANGUAGE counts only when the messages locale is not C.
QStringList preferredLanguages()
{
    QString messages;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        messages = qEnvironmentVariable(name);
        if (!messages.isEmpty())
            break;
    }
    const QString base = messages.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    if (base.isEmpty() || base == QLatin1String("C") || base == QLatin1String("POSIX"))
        return {};
    QStringList languages;
    for (const QString& language :
         qEnvironmentVariable("LANGUAGE").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        languages << language.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    languages << base;
    return languages;
}

QString installedDirectory()
{
#ifdef PEALIX_TRANSLATIONS_IN_PROGRAM
    // Compiled into a program: dladdr would name it by its argv[0], which need not be a path.
    const QString binary = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
#else
    // In the library, wherever the program that loaded it lies.
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&installedDirectory), &info) == 0 || !info.dli_fname)
        return {};
    const QString binary = QFileInfo(QFile::decodeName(info.dli_fname)).canonicalFilePath();
#endif
    return binary.isEmpty() ? QString()
                            : QDir::cleanPath(QFileInfo(binary).absolutePath() +
                                              QStringLiteral("/" PEALIX_TRANSLATIONS_FROM));
}

// ll_CC, then ll; English is the original, so it ends the search.
bool install(const QString& catalogue, const QString& language, const QStringList& directories)
{
    const QStringList names{language, language.section(QLatin1Char('_'), 0, 0)};
    for (const QString& name : names) {
        for (const QString& directory : directories) {
            auto* translator = new QTranslator(QCoreApplication::instance());
            if (translator->load(catalogue + QLatin1Char('_') + name, directory) &&
                QCoreApplication::installTranslator(translator)) {
                qCDebug(lcTranslations) << "loaded" << translator->filePath();
                return true;
            }
            delete translator;
        }
    }
    return false;
}

} // namespace

QString loadTranslations()
{
    const QString trial = qEnvironmentVariable("PEALIX_TRANSLATIONS_DIR");
    QStringList own, qt;
    if (!trial.isEmpty()) {
        own << trial;
        qt << trial;
    }
    own << installedDirectory();
    qt << QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (QString language : preferredLanguages()) {
        language.replace(QLatin1Char('-'), QLatin1Char('_'));
        if (language == QLatin1String("en") || language.startsWith(QLatin1String("en_")))
            return {};
        if (install(QStringLiteral(PEALIX_CATALOGUE), language, own)) {
            install(QStringLiteral("qtbase"), language, qt);
            return language;
        }
    }
    return {};
}

} // namespace platform
