// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "startup.h"

#include "message_sink.h"
#include "tables_file.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

constexpr int kExitUsage = 2;

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

Translations::Translations() {
  auto qt = std::make_unique<QTranslator>();
  if (qt->load(u"qtbase_ru"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt.get());
    installed_.push_back(std::move(qt));
    qtTranslated_ = true;
  }
  // Installed last, so asked first.
  auto ok = std::make_unique<CyrillicOk>();
  QCoreApplication::installTranslator(ok.get());
  installed_.push_back(std::move(ok));
}

CommandLine::Outcome CommandLine::Parse(const QStringList& arguments, Pass pass) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      u"Meltor — время полёта для лётной книжки: в закрытой кабине, в облаках, за облаками, "
      u"при ограниченной видимости и всего в СМУ."_s);
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption tables(
      QStringLiteral("tables"),
      u"файл таблиц вместо %1 программы"_s.arg(QStringLiteral("FlightTables1.mdb")), u"ФАЙЛ"_s);
  parser.addOption(tables);
  const QCommandLineOption journal(
      QStringLiteral("journal"),
      u"журнал полётов вместо journal.sqlite в папке данных пользователя"_s, u"ФАЙЛ"_s);
  parser.addOption(journal);

  const QString program = QStringLiteral("meltor");
  const auto usage = [&](const QString& message) {
    Outcome o;
    o.exitCode = kExitUsage;
    o.err = u"%1: %2\nСправка: %1 --help\n"_s.arg(program, message);
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
    // An empty name would quietly mean the default journal: a script's mistake, told.
    if (parser.isSet(journal) && parser.value(journal).isEmpty()) {
      return usage(u"--journal: пустое имя файла журнала"_s);
    }
    if (!parser.positionalArguments().isEmpty()) {
      return usage(u"лишний аргумент «%1»"_s.arg(parser.positionalArguments().first()));
    }
  }
  return o;
}

std::optional<QString> ChooseTables(const CommandLine::Outcome& cl, MessageSink& messages) {
  if (cl.tablesProblem.isEmpty()) return cl.tablesPath;
  const QString question =
      u"Файл таблиц, указанный в --tables, не подходит:\n%1\n\nОткрыть программу "
      u"с её собственными таблицами (%2)?"_s.arg(cl.tablesProblem,
                                                 QDir::toNativeSeparators(DefaultTablesPath()));
  if (messages.Ask(nullptr, question, u"Открыть с таблицами программы"_s, u"Выйти"_s)) {
    return QString();
  }
  return std::nullopt;
}

}  // namespace meltor
