// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "startup.h"

#include "message_sink.h"
#include "tables_file.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>

namespace meltor {

namespace {

constexpr int kExitUsage = 2;

QStringList TranslationFolders() {
  const QString appDir = QCoreApplication::applicationDirPath();
  return {QDir(appDir).filePath(QStringLiteral("translations")),
          QDir::cleanPath(appDir + QStringLiteral("/../share/meltor/translations"))};
}

// Qt's own Russian translation writes the OK button in Latin letters; a Russian desktop writes it
// «ОК», in Cyrillic. Asked before Qt's translation, and silent about everything else.
class CyrillicOk final : public QTranslator {
 public:
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char*, int) const override {
    if (qstrcmp(source, "OK") == 0) return QStringLiteral("ОК");
    if (qstrcmp(context, "QGnomeTheme") == 0 && qstrcmp(source, "&OK") == 0) {
      return QStringLiteral("&ОК");
    }
    return {};
  }
};

}  // namespace

Translations::Translations(const QLocale& system) : language_(QStringLiteral("ru")) {
  auto own = std::make_unique<QTranslator>();
  for (const QString& folder : TranslationFolders()) {
    if (own->load(system, QStringLiteral("meltor"), QStringLiteral("_"), folder)) {
      language_ = QLocale(own->language()).name().section(QLatin1Char('_'), 0, 0);
      QCoreApplication::installTranslator(own.get());
      installed_.push_back(std::move(own));
      break;
    }
  }
  auto qt = std::make_unique<QTranslator>();
  if (qt->load(QStringLiteral("qtbase_") + language_,
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt.get());
    installed_.push_back(std::move(qt));
    qtTranslated_ = true;
  }
  if (language_ == QStringLiteral("ru")) {
    auto ok = std::make_unique<CyrillicOk>();
    QCoreApplication::installTranslator(ok.get());
    installed_.push_back(std::move(ok));
  }
}

CommandLine::Outcome CommandLine::Parse(const QStringList& arguments, Pass pass) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      tr("Meltor — время полёта для лётной книжки: в закрытой кабине, в облаках, за облаками, "
         "при ограниченной видимости и всего в СМУ."));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption tables(
      QStringLiteral("tables"),
      tr("файл таблиц вместо %1 программы").arg(QStringLiteral("FlightTables1.mdb")), tr("ФАЙЛ"));
  parser.addOption(tables);
  const QCommandLineOption journal(
      QStringLiteral("journal"),
      QStringLiteral("журнал полётов вместо journal.sqlite в папке данных пользователя"),
      QStringLiteral("ФАЙЛ"));
  parser.addOption(journal);

  const QString program = QStringLiteral("meltor");
  const auto usage = [&](const QString& message) {
    Outcome o;
    o.exitCode = kExitUsage;
    o.err = tr("%1: %2\nСправка: %1 --help\n").arg(program, message);
    return o;
  };
  const bool parsed = parser.parse(arguments);

  Outcome o;
  // --help-all, which Qt adds to the list, says the same here.
  if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
    o.exitCode = 0;
    o.out = parser.helpText();
    return o;
  }
  if (parser.isSet(version)) {
    o.exitCode = 0;
    o.out = QStringLiteral("%1 %2\n").arg(program, QStringLiteral(MELTOR_VERSION_TEXT));
    return o;
  }
  if (parser.isSet(tables)) {
    o.tablesPath = QFileInfo(parser.value(tables)).absoluteFilePath();
  }
  if (parser.isSet(journal)) {
    o.journalPath = QFileInfo(parser.value(journal)).absoluteFilePath();
  }
  if (pass == Pass::Final) {
    if (parser.isSet(tables)) {
      // Opened the way a calculation opens it, so the reason is the one a calculation would give.
      try {
        TablesFile probe(o.tablesPath, {o.tablesPath});
      } catch (const CalcError& e) {
        o.tablesProblem = e.message();
      }
    }
    if (!parsed) return usage(parser.errorText());
    if (!parser.positionalArguments().isEmpty()) {
      return usage(tr("лишний аргумент «%1»").arg(parser.positionalArguments().first()));
    }
  }
  return o;
}

std::optional<QString> ChooseTables(const CommandLine::Outcome& cl, MessageSink& messages) {
  if (cl.tablesProblem.isEmpty()) return cl.tablesPath;
  const QString question =
      CommandLine::tr(
          "Файл таблиц, указанный в --tables, не подходит:\n%1\n\nОткрыть программу "
          "с её собственными таблицами (%2)?")
          .arg(cl.tablesProblem, QDir::toNativeSeparators(DefaultTablesPath()));
  if (messages.Ask(nullptr, question, CommandLine::tr("Открыть с таблицами программы"),
                   CommandLine::tr("Выйти"))) {
    return QString();
  }
  return std::nullopt;
}

}  // namespace meltor
