// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "tables_tool_commands.h"

#include "command_support.h"
#include "file_writer.h"
#include "flight_fields.h"
#include "profiles.h"
#include "table_build.h"
#include "table_check.h"
#include "table_csv.h"
#include "table_plot.h"
#include "tables_file.h"
#include "type_tables.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMap>

#include <algorithm>
#include <variant>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

// "meltor-cli: tables build: <message>" on the error stream; returns kExitFailed.
int Fail(const Call& call, Console& io, const QString& message) {
  return ReportFailure(io, call.command.path + u": "_s + message);
}

// One line on the error stream for the CSV files whose encoding was guessed: the findings go to the
// output, and the guess is no finding.
void ReportGuessedEncodings(const std::vector<TypeTables>& types, Console& io) {
  QMap<QString, QStringList> files;  // by note
  for (const TypeTables& t : types) {
    for (const auto& [file, note] : t.guessed) files[note] << file;
  }
  for (auto it = files.cbegin(); it != files.cend(); ++it) {
    Print(io.err, u"meltor-cli: %1: %2 (другую кодировку задаёт --encoding)\n"_s.arg(
                      it.value().join(u", "_s), it.key()));
  }
}

QString FindingLine(const Finding& f) {
  const QString what = f.severity == Finding::Error ? u"ошибка"_s : u"предупреждение"_s;
  return f.place.isEmpty() ? u"%1: %2\n"_s.arg(what, f.text)
                           : u"%1: %2: %3\n"_s.arg(what, f.place, f.text);
}

struct Counts {
  int tables = 0;
  int errors = 0;
  int warnings = 0;
};

// Every finding on the output, one to a line, and their counts.
Counts Report(const std::vector<TypeTables>& types, const std::vector<Finding>& extra,
              Console& io) {
  Counts c;
  const auto print = [&](const std::vector<Finding>& findings) {
    for (const Finding& f : findings) {
      ++(f.severity == Finding::Error ? c.errors : c.warnings);
      Print(io.out, FindingLine(f));
    }
  };
  print(extra);
  for (const TypeTables& t : types) {
    // A table that could not be read counts as checked too: its error is the result.
    c.tables += (t.climb || HasErrors(t.climbFindings) ? 1 : 0) +
                (t.grid || HasErrors(t.gridFindings) ? 1 : 0);
    print(t.climbFindings);
    print(t.gridFindings);
  }
  return c;
}

// The type as calc and batch take it (Л-39, Л39, L-39, L39, any case), or a view's suffix.
const AircraftProfile* ProfileNamed(const QString& text) {
  if (const AircraftProfile* p = FindProfile(text)) return p;
  if (const std::optional<QString> entry = TypeEntry(text); entry && !entry->isEmpty()) {
    if (const AircraftProfile* p = FindProfile(*entry)) return p;
  }
  for (const AircraftProfile& p : AircraftProfiles()) {
    if (text.compare(QString::fromLatin1(p.suffix), Qt::CaseInsensitive) == 0) return &p;
  }
  return nullptr;
}

// The --type of the table tools: the profile, nullptr without the option, or why the text names
// no type.
std::variant<const AircraftProfile*, UsageError> TypeOf(const ParsedOptions& options) {
  if (!options.has(u"type"_s)) return nullptr;
  if (const AircraftProfile* p = ProfileNamed(options.value(u"type"_s))) return p;
  return UsageError{u"--type: "_s + UnknownTypeMessage(options.value(u"type"_s))};
}

OptionInfo TypeOption(const QString& help, bool required) {
  return {.name = u"type"_s, .valueName = u"T"_s, .help = help, .required = required};
}

// How the CSV files of a folder are read.
OptionSet ReadingOptions() {
  return {{.name = u"encoding"_s,
           .valueName = u"NAME"_s,
           .help = u"кодировка файлов CSV: auto (по умолчанию: UTF-8 или, если текст не в UTF-8, "
                   u"Windows-1251), utf-8, windows-1251, koi8-r, cp866"_s},
          {.name = u"delimiter"_s,
           .valueName = u"CHAR"_s,
           .help = u"разделитель в файлах CSV: «,», «;» или tab (по умолчанию — тот, что делит "
                   u"первую строку файла на большее число ячеек)"_s}};
}

// What ReadingOptions ask of the CSV files.
std::variant<CsvReading, UsageError> ReadingOf(const ParsedOptions& options) {
  CsvReading reading;
  if (options.has(u"encoding"_s)) {
    const std::optional<CsvEncoding> encoding = CsvEncodingNamed(options.value(u"encoding"_s));
    if (!encoding) {
      return UsageError{u"--encoding «%1» — допустимы %2"_s.arg(
          Visible(options.value(u"encoding"_s)), CsvEncodingChoices())};
    }
    reading.encoding = *encoding;
  }
  if (options.has(u"delimiter"_s)) {
    reading.delimiter = CsvDelimiterNamed(options.value(u"delimiter"_s));
    if (!reading.delimiter) {
      return UsageError{u"--delimiter «%1» — допустимы «,», «;» или tab"_s.arg(
          Visible(options.value(u"delimiter"_s)))};
    }
  }
  return reading;
}

LazyFile TablesFileOf(const ParsedOptions& options, const QString& option) {
  TablesLocation location = LocateTables(options, option);
  return LazyFile(std::move(location.path), std::move(location.searched));
}

int RunExport(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  const auto type = TypeOf(options);
  if (const auto* usage = std::get_if<UsageError>(&type)) return call.Usage(io, usage->message);
  const AircraftProfile* only = std::get<const AircraftProfile*>(type);
  CsvStyle style;
  if (options.has(u"delimiter"_s)) {
    const QString d = options.value(u"delimiter"_s);
    if (d != u","_s && d != u";"_s) {
      return call.Usage(io,
                        u"--delimiter «%1» — допустимы «,» или «;» (тогда дробные числа с "
                        u"запятой)"_s.arg(Visible(d)));
    }
    style.delimiter = d == u";"_s ? ';' : ',';
  }
  style.byteOrderMark = options.has(u"bom"_s);

  LazyFile file = TablesFileOf(options, u"tables"_s);
  std::vector<Finding> findings;
  TablesFile* f = file.Get(findings);
  if (!f) return ReportFailure(io, findings.front().text);
  const std::vector<CsvFile> outs = ExportFiles(*f, only, style, findings);
  if (!findings.empty()) {
    for (const Finding& e : findings) Print(io.out, FindingLine(e));
    return Fail(call, io, u"таблицы не выгружены: в файле %1 есть ошибки"_s.arg(file.path()));
  }
  const QString folder = options.positionals.front();
  const QFileInfo folderInfo(folder);
  if (folderInfo.exists() && !folderInfo.isDir()) {
    return Fail(call, io, u"«%1» — не папка; ничего не записано"_s.arg(folder));
  }
  const bool madeFolder = !folderInfo.exists();
  if (!QDir().mkpath(folder)) return Fail(call, io, u"папка %1 не создаётся"_s.arg(folder));
  const QDir dir(folder);
  if (!options.has(u"force"_s)) {
    QStringList existing;
    for (const CsvFile& o : outs) {
      const QFileInfo info(dir.filePath(o.name));
      if (info.exists() || info.isSymLink()) existing << o.name;
    }
    if (!existing.isEmpty()) {
      return Fail(call, io,
                  u"в папке %1 уже есть %2; чтобы заменить, добавьте --force"_s.arg(
                      folder, existing.join(u", "_s)));
    }
  }
  // All the files or none: each is written whole beside its place first, then they are put in
  // place together, and a failure on the way puts back what was there.
  files::FileSet written;
  for (const CsvFile& o : outs) {
    if (!written.Add(dir.filePath(o.name), o.bytes)) break;
  }
  if (!written.failure().isEmpty() || !written.Commit()) {
    if (madeFolder) QDir().rmdir(folder);
    return Fail(call, io, u"файл "_s + written.failure());
  }
  Print(io.err, u"meltor-cli: таблицы из %1 выгружены в %2: файлов %3\n"_s.arg(
                    file.path(), folder, QString::number(outs.size())));
  return kExitOk;
}

int RunBuild(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  const auto reading = ReadingOf(options);
  if (const auto* usage = std::get_if<UsageError>(&reading)) return call.Usage(io, usage->message);
  const QString folder = options.positionals.front();
  const QString output = options.value(u"output"_s);
  const bool force = options.has(u"force"_s);
  if (!QFileInfo(folder).isDir()) return Fail(call, io, u"папки %1 нет"_s.arg(folder));
  if (QFileInfo(output).isDir()) {
    return Fail(call, io,
                u"«%1» — папка; укажите имя нового файла таблиц, например %2"_s.arg(
                    output, QDir(output).filePath(QString::fromLatin1(kTablesFileName))));
  }
  // A link is followed to its file; a device or FIFO is written, not replaced.
  const auto target = files::ResolveTarget(output);
  if (const QString* why = std::get_if<QString>(&target)) {
    return Fail(call, io, u"файл таблиц "_s + *why);
  }
  if (std::get<files::Target>(target).kind == files::Target::Kind::File && !force) {
    return Fail(call, io,
                u"файл %1 уже существует; чтобы заменить его, добавьте --force"_s.arg(output));
  }
  LazyFile file = TablesFileOf(options, u"from"_s);
  const std::vector<TypeTables> types = LoadTypes(folder, file, std::get<CsvReading>(reading));
  ReportGuessedEncodings(types, io);
  const Counts counts = Report(types, StrayFiles(folder), io);
  const bool complete = std::all_of(types.begin(), types.end(),
                                    [](const TypeTables& t) { return t.climb && t.grid; });
  if (counts.errors > 0 || !complete) {
    return Fail(call, io,
                u"файл %1 не записан: ошибок %2"_s.arg(output, QString::number(counts.errors)));
  }
  std::vector<BuildType> build;
  QStringList fromFolder;
  QStringList fromFile;
  for (const TypeTables& t : types) {
    build.push_back({t.suffix, &t.climb->table, &t.grid->table});
    for (const auto* table : {&*t.climb, &*t.grid}) {
      (table->fromCsv ? fromFolder : fromFile) << table->source;
    }
  }
  file.Close();  // the new file may replace the one read from
  QString failure;
  if (!BuildTablesFile(output, build, force, &failure)) return Fail(call, io, failure);
  Print(io.err, u"meltor-cli: записан %1; из папки: %2; из %3: %4; предупреждений: %5\n"_s.arg(
                    output, fromFolder.isEmpty() ? u"—"_s : fromFolder.join(u", "_s), file.path(),
                    fromFile.isEmpty() ? u"—"_s : fromFile.join(u", "_s),
                    QString::number(counts.warnings)));
  return kExitOk;
}

int RunCheck(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  const auto reading = ReadingOf(options);
  if (const auto* usage = std::get_if<UsageError>(&reading)) return call.Usage(io, usage->message);
  LazyFile file = TablesFileOf(options, u"tables"_s);
  std::vector<TypeTables> types;
  std::vector<Finding> extra;
  QString checked = file.path();
  if (!options.positionals.isEmpty()) {
    const QString folder = options.positionals.front();
    if (!QFileInfo(folder).isDir()) return Fail(call, io, u"папки %1 нет"_s.arg(folder));
    checked = folder;
    types = LoadTypes(folder, file, std::get<CsvReading>(reading), nullptr, false);
    ReportGuessedEncodings(types, io);
    extra = StrayFiles(folder);
  } else {
    if (!file.Get(extra)) return ReportFailure(io, extra.front().text);
    // The six types, and any other views named like climb tables.
    types = LoadTypes({}, file, {}, nullptr, false);
    for (TypeTables& t : LoadOtherTypes(file, extra)) types.push_back(std::move(t));
  }
  const Counts n = Report(types, extra, io);
  const bool failed = n.errors > 0 || (options.has(u"strict"_s) && n.warnings > 0);
  Print(io.err,
        u"meltor-cli: %1: таблиц проверено: %2, ошибок: %3, предупреждений: %4%5\n"_s.arg(
            checked, QString::number(n.tables), QString::number(n.errors),
            QString::number(n.warnings),
            failed && n.errors == 0 ? u" (--strict: предупреждения — ошибки)"_s : QString()));
  return failed ? kExitFailed : kExitOk;
}

int RunPlot(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  const auto reading = ReadingOf(options);
  if (const auto* usage = std::get_if<UsageError>(&reading)) return call.Usage(io, usage->message);
  const auto type = TypeOf(options);
  if (const auto* usage = std::get_if<UsageError>(&type)) return call.Usage(io, usage->message);
  const AircraftProfile* profile = std::get<const AircraftProfile*>(type);
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    return Fail(call, io, u"рисунку нужны шрифты, а программа запущена без них"_s);
  }
  LazyFile file = TablesFileOf(options, u"tables"_s);
  const QString folder = options.positionals.value(0);
  if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
    return Fail(call, io, u"папки %1 нет"_s.arg(folder));
  }
  std::vector<TypeTables> types = LoadTypes(folder, file, std::get<CsvReading>(reading), profile);
  ReportGuessedEncodings(types, io);
  TypeTables& t = types.front();
  if (HasErrors(t.climbFindings) || HasErrors(t.gridFindings)) {
    Report(types, {}, io);
    return Fail(call, io, u"в таблицах ошибки, рисунок не сделан"_s);
  }
  const PlotInput input{u"%1 (%2)"_s.arg(QString::fromUtf16(profile->entry), t.suffix),
                        profile->rule,
                        &*t.climb,
                        &*t.grid,
                        t.climbFindings,
                        t.gridFindings};
  QString failure;
  if (!PlotTables(options.value(u"output"_s), input, &failure)) return Fail(call, io, failure);
  const Counts n = Report(types, {}, io);
  Print(io.err, u"meltor-cli: записан %1; предупреждений: %2\n"_s.arg(options.value(u"output"_s),
                                                                      QString::number(n.warnings)));
  return kExitOk;
}

}  // namespace

Command CheckCommand() {
  return {
      .name = u"check"_s,
      .arguments = u"[ПАПКА]"_s,
      .maxArguments = 1,
      .summary =
          u"проверка таблиц Z_Time_Pod_* и Z_Time_Obl_* (с ПАПКОЙ — файлов CSV в ней); по "
          u"строке на ошибку и предупреждение с местом; код выхода 1 при ошибках, с "
          u"--strict — и при предупреждениях"_s,
      .description = {u"Проверка таблиц Z_Time_Pod_* и Z_Time_Obl_* файла таблиц или, с ПАПКОЙ, "
                      u"таблиц CSV в ней: по строке на ошибку и предупреждение с файлом, строкой "
                      u"и столбцом. Код выхода 1 при ошибках, с --strict — и при "
                      u"предупреждениях."_s},
      .options = TablesOption() +
                 OptionSet{{.name = u"strict"_s, .help = u"предупреждения считать ошибками"_s}} +
                 ReadingOptions(),
      .run = RunCheck,
  };
}

Command ExportCommand() {
  return {
      .name = u"export"_s,
      .arguments = u"ПАПКА"_s,
      .minArguments = 1,
      .maxArguments = 1,
      .missingArguments = u"не указана папка для файлов CSV"_s,
      .summary = u"таблицы в файлы CSV папки: ТИП_pod.csv и ТИП_obl.csv"_s,
      .description = {u"Таблицы в файлы CSV папки (создаётся, если её нет), по два на тип: "
                      u"ТИП_pod.csv (набор высоты: height_m, time_s) и ТИП_obl.csv (время в "
                      u"облаках: нижняя граница по строкам, ключи столбцов в первой строке)."_s},
      .options =
          OptionSet{TypeOption(u"тип: L39, Su24, Su25, Su27, MiG29, MiG31, Л-39 … МиГ-31; без "
                               u"него — все типы"_s,
                               false)} +
          TablesOption() +
          OptionSet{
              {.name = u"delimiter"_s,
               .valueName = u"CHAR"_s,
               .help = u"«,» (по умолчанию) или «;» (дробные числа с запятой)"_s},
              {.name = u"bom"_s, .help = u"метка порядка байтов UTF-8 в начале файлов"_s},
              {.name = u"force"_s, .help = u"заменить файлы CSV, которые уже есть в папке"_s},
          },
      .run = RunExport,
  };
}

Command BuildCommand() {
  return {
      .name = u"build"_s,
      .arguments = u"ПАПКА"_s,
      .minArguments = 1,
      .maxArguments = 1,
      .missingArguments = u"не указана папка с таблицами CSV"_s,
      .summary = u"новый файл таблиц из файлов CSV папки (-o НОВЫЙ.mdb)"_s,
      .description = {u"Новый файл таблиц из таблиц CSV папки, проверенных, как в tables check; "
                      u"таблица, которой нет в папке, берётся из --from. При ошибках файл не "
                      u"пишется; существующий заменяется только с --force и при сбое остаётся "
                      u"прежним."_s},
      .options = OptionSet{{.name = u"output"_s,
                            .valueName = u"FILE"_s,
                            .help = u"новый файл таблиц"_s,
                            .shortName = u"o"_s,
                            .path = OptionInfo::Path::File,
                            .required = true},
                           {.name = u"from"_s,
                            .valueName = u"FILE"_s,
                            .help = u"откуда брать таблицы, которых нет в папке; без него — %1 "
                                    u"рядом с программой или в ../share/meltor"_s.arg(
                                        QString::fromLatin1(kTablesFileName)),
                            .path = OptionInfo::Path::File},
                           {.name = u"force"_s, .help = u"заменить FILE, если он есть"_s}} +
                 ReadingOptions(),
      .run = RunBuild,
  };
}

Command PlotCommand() {
  return {
      .name = u"plot"_s,
      .arguments = u"[ПАПКА]"_s,
      .maxArguments = 1,
      .summary = u"рисунок SVG таблиц одного типа (--type, -o ФАЙЛ.svg)"_s,
      .description = {u"Рисунок таблиц одного типа — кривая набора высоты и время в облаках по "
                      u"нижним границам, с отмеченными предупреждениями tables check — из файла "
                      u"таблиц или, с ПАПКОЙ, из её таблиц CSV."_s},
      .options =
          OptionSet{TypeOption(u"тип: L39, Su24, Su25, Su27, MiG29, MiG31, Л-39 … МиГ-31"_s, true),
                    {.name = u"output"_s,
                     .valueName = u"FILE"_s,
                     .help = u"рисунок: SVG, PNG — если имя оканчивается на .png"_s,
                     .shortName = u"o"_s,
                     .path = OptionInfo::Path::File,
                     .required = true}} +
          TablesOption() + ReadingOptions(),
      .run = RunPlot,
      .drawsText = [](const ParsedOptions&) { return true; },
  };
}

}  // namespace meltor::cli
