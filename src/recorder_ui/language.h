#pragma once
// The language the windows speak. Their source texts are Chinese, and stay
// so where the desktop's first user-interface language is Chinese and in the
// C/POSIX locale; every other language gets the English translation. Qt reads
// LANGUAGE, LC_ALL, LC_MESSAGES and LANG (QLocale::system().uiLanguages()).
// User-interface thread, before the first window is made.

#include <QString>
#include <QStringList>
#include <string>

class QCoreApplication;

namespace tavrin::recorder_ui {

// The translation of ours to load for `uiLanguages` (most wanted first):
// "" for the source texts; the first language's code when `folder` has its
// translation (tavrin_<code>.qm), so that adding a language is adding its
// file; else "en".
QString TranslationFor(const QStringList& uiLanguages, const QString& folder);

// Installs on `application` the translation chosen for the desktop's
// languages, from `folder` (tavrin_<code>.qm), and Qt's own for its dialogs'
// buttons where the system has it. Returns a text for the user when our
// translation should load and does not ("" when all is well).
std::string InstallTranslations(QCoreApplication& application, const QString& folder);

}  // namespace tavrin::recorder_ui
