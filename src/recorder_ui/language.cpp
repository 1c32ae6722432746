#include "recorder_ui/language.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tavrin::recorder_ui {

QString TranslationFor(const QStringList& uiLanguages, const QString& folder) {
  const QString first = uiLanguages.value(0);
  if (first.isEmpty() || first == QLatin1String("C") || first == QLatin1String("POSIX") ||
      first.startsWith(QLatin1String("zh"))) {
    return {};
  }
  const QString code = first.section(QLatin1Char('-'), 0, 0);
  if (QFileInfo::exists(folder + QStringLiteral("/tavrin_") + code + QStringLiteral(".qm"))) {
    return code;
  }
  return QStringLiteral("en");
}

std::string InstallTranslations(QCoreApplication& application, const QString& folder) {
  const QLocale desktop = QLocale::system();
  const QString ours = TranslationFor(desktop.uiLanguages(), folder);
  // Qt's own texts are English; the others come from the system's translations.
  const QLocale qtLanguage = ours == QLatin1String("en") ? QLocale(QLocale::English) : desktop;
  auto* qt = new QTranslator(&application);
  if (qtLanguage.language() != QLocale::English && qtLanguage.language() != QLocale::C &&
      qt->load(qtLanguage, QStringLiteral("qtbase"), QStringLiteral("_"),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    // Without it Qt's buttons keep their English words, as they always had.
    static_cast<void>(QCoreApplication::installTranslator(qt));
  }
  if (ours.isEmpty()) return {};
  auto* program = new QTranslator(&application);
  const QString name = QStringLiteral("tavrin_") + ours;
  if (!program->load(name, folder) || !QCoreApplication::installTranslator(program)) {
    return "The " + ours.toStdString() + " translation (" + (folder + '/' + name).toStdString() +
           ".qm) could not be loaded; the windows keep their Chinese texts.";
  }
  return {};
}

}  // namespace tavrin::recorder_ui
