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

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMap>

#include <memory>
#include <variant>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

constexpr QLatin1StringView kClimbPrefix("Z_Time_Pod_");
constexpr QLatin1StringView kGridPrefix("Z_Time_Obl_");

QString ViewName(const QString& suffix, TableKind kind) {
  return QString(kind == TableKind::Climb ? kClimbPrefix : kGridPrefix) + suffix;
}

// One type's two tables with what the check found in them.
struct TypeTables {
  QString suffix;
  const AircraftProfile* profile = nullptr;  // null for views of a suffix the program lacks
  std::optional<SourcedTable> climb;
  std::optional<SourcedTable> grid;
  std::vector<Finding> climbFindings;
  std::vector<Finding> gridFindings;
  bool fromFolder = false;  // at least one table came from CSV
  // The CSV files read in an encoding the reader guessed: the file's name and the reader's note.
  std::vector<std::pair<QString, QString>> guessed;
};

// The tables file, opened when first needed.
class LazyFile {
 public:
  explicit LazyFile(QString path, QStringList searched = {})
      : path_(std::move(path)), searched_(std::move(searched)) {}

  TablesFile* Get(std::vector<Finding>& findings) {
    if (!file_ && !error_) {
      try {
        file_ = std::make_unique<TablesFile>(path_, searched_);
      } catch (const CalcError& e) {
        error_ = e.message();
      }
    }
    if (error_ && !reported_) findings.push_back({Finding::Error, {}, *error_});
    reported_ = reported_ || error_;
    return file_.get();
  }
  const QString& path() const { return path_; }
  void Close() { file_.reset(); }

 private:
  QString path_;
  QStringList searched_;
  std::unique_ptr<TablesFile> file_;
  std::optional<QString> error_;
  bool reported_ = false;  // the open's failure is told once, not for every table
};

std::optional<SourcedTable> FromView(TablesFile& file, const QString& name, TableKind kind,
                                     std::vector<Finding>& findings) {
  try {
    SourcedTable t;
    t.table = file.ReadView(name, kind);
    t.source = name;
    return t;
  } catch (const CalcError& e) {
    findings.push_back({Finding::Error, {}, e.message()});
    return std::nullopt;
  }
}

// Reads one table: the CSV in `folder` if there is one, else the view of `file`; then checks it.
// Whatever stands in the folder under the table's name is the table's: a folder, a pipe or a
// link to nothing is an error, never a reason to take the table from the file.
void Load(TypeTables& t, TableKind kind, const QString& folder, LazyFile& file,
          const CsvReading& reading) {
  auto& table = kind == TableKind::Climb ? t.climb : t.grid;
  auto& findings = kind == TableKind::Climb ? t.climbFindings : t.gridFindings;
  const QString csv =
      folder.isEmpty() ? QString() : QDir(folder).filePath(CsvFileName(t.suffix, kind));
  const QFileInfo info(csv);
  if (!csv.isEmpty() && (info.exists() || info.isSymLink())) {
    t.fromFolder = true;
    QString note;
    table = ReadCsvTable(csv, kind, reading, findings, &note);
    if (!note.isEmpty()) t.guessed.emplace_back(info.fileName(), note);
  } else if (TablesFile* f = file.Get(findings)) {
    table = FromView(*f, ViewName(t.suffix, kind), kind, findings);
  }
}

void CheckType(TypeTables& t) {
  const std::optional<HOblRule> rule =
      t.profile ? std::optional<HOblRule>(t.profile->rule) : std::nullopt;
  if (t.climb) {
    const auto more = CheckClimbTable(*t.climb);
    t.climbFindings.insert(t.climbFindings.end(), more.begin(), more.end());
  }
  if (t.grid) {
    const auto more =
        CheckGridTable(*t.grid, rule, t.climb ? ClimbCeiling(t.climb->table) : std::nullopt);
    t.gridFindings.insert(t.gridFindings.end(), more.begin(), more.end());
  }
}

void ReleaseCells(TypeTables& t) {
  for (std::optional<SourcedTable>* table : {&t.climb, &t.grid}) {
    if (*table) std::vector<std::vector<Cell>>().swap((*table)->table.rows);
  }
}

// The six types from `folder` (where it holds their CSVs) and `file` (for the rest), checked.
// `keep` false: only the findings are wanted, so each type's cells go once it is checked and a
// file of six tables at their largest is never held whole.
std::vector<TypeTables> LoadTypes(const QString& folder, LazyFile& file, const CsvReading& reading,
                                  const AircraftProfile* only = nullptr, bool keep = true) {
  std::vector<TypeTables> types;
  for (const AircraftProfile& p : AircraftProfiles()) {
    if (only && only != &p) continue;
    TypeTables t;
    t.suffix = QString::fromLatin1(p.suffix);
    t.profile = &p;
    Load(t, TableKind::Climb, folder, file, reading);
    Load(t, TableKind::Grid, folder, file, reading);
    CheckType(t);
    if (!keep) ReleaseCells(t);
    types.push_back(std::move(t));
  }
  return types;
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

QString TypeChoices() {
  QStringList names;
  for (const AircraftProfile& p : AircraftProfiles()) names << QString::fromLatin1(p.suffix);
  return names.join(u", "_s);
}

// The command line of one sub-command; a usage message when it cannot be acted on, or the
// sub-command's help when it was asked for.
struct Command {
  QCommandLineParser parser;
  QString usage;
  QString help;
};

// What `meltor-cli tables SUB --help` prints.
QString SubcommandHelp(const QString& sub) {
  const QString tables = u"  --tables FILE     файл таблиц (по умолчанию — файл программы)\n"_s;
  const QString type =
      u"  --type T          тип: L39, Su24, Su25, Su27, MiG29, MiG31, Л-39 … МиГ-31\n"_s;
  const QString reading =
      u"  --encoding NAME   кодировка файлов CSV: auto (по умолчанию: UTF-8 или, если\n"
      u"                    текст не в UTF-8, Windows-1251), utf-8, windows-1251,\n"
      u"                    koi8-r, cp866\n"
      u"  --delimiter CHAR  разделитель в файлах CSV: «,», «;» или tab (по умолчанию —\n"
      u"                    тот, что делит первую строку файла на большее число ячеек)\n"_s;
  if (sub == u"export"_s) {
    return u"Использование: meltor-cli tables export [параметры] ПАПКА\n\n"
           u"Таблицы в файлы CSV папки (создаётся, если её нет), по два на тип:\n"
           u"ТИП_pod.csv (набор высоты: height_m, time_s) и ТИП_obl.csv (время в\n"
           u"облаках: нижняя граница по строкам, ключи столбцов в первой строке).\n"
           u"\nПараметры:\n"_s +
           type + u"                    (без него — все типы)\n"_s + tables +
           u"  --delimiter CHAR  «,» (по умолчанию) или «;» (дробные числа с запятой)\n"
           u"  --bom             метка порядка байтов UTF-8 в начале файлов\n"
           u"  --force           заменить файлы CSV, которые уже есть в папке\n"_s;
  }
  if (sub == u"build"_s) {
    return u"Использование: meltor-cli tables build -o НОВЫЙ.mdb [параметры] ПАПКА\n\n"
           u"Новый файл таблиц из таблиц CSV папки, проверенных, как в tables check;\n"
           u"таблица, которой нет в папке, берётся из --from. При ошибках файл не\n"
           u"пишется; существующий заменяется только с --force и при сбое остаётся\n"
           u"прежним.\n"
           u"\nПараметры:\n"
           u"  -o, --output FILE новый файл таблиц (обязателен)\n"
           u"  --from FILE       откуда брать таблицы, которых нет в папке\n"
           u"                    (по умолчанию — файл программы)\n"
           u"  --force           заменить FILE, если он есть\n"_s +
           reading;
  }
  if (sub == u"check"_s) {
    return u"Использование: meltor-cli tables check [параметры] [ПАПКА]\n\n"
           u"Проверка таблиц Z_Time_Pod_* и Z_Time_Obl_* файла таблиц или, с ПАПКОЙ,\n"
           u"таблиц CSV в ней: по строке на ошибку и предупреждение с файлом, строкой\n"
           u"и столбцом. Код выхода 1 при ошибках, с --strict — и при предупреждениях.\n"
           u"\nПараметры:\n"_s +
           tables + u"  --strict          предупреждения считать ошибками\n"_s + reading;
  }
  return u"Использование: meltor-cli tables plot --type T -o FILE [параметры] [ПАПКА]\n\n"
         u"Рисунок таблиц одного типа — кривая набора высоты и время в облаках по\n"
         u"нижним границам, с отмеченными предупреждениями tables check — из файла\n"
         u"таблиц или, с ПАПКОЙ, из её таблиц CSV.\n"
         u"\nПараметры:\n"_s +
         type + u"  -o, --output FILE рисунок: SVG, PNG — если имя оканчивается на .png\n"_s +
         tables + reading;
}

bool Parse(Command& c, const QString& sub, const QStringList& args,
           const QList<QCommandLineOption>& options, qsizetype minWords, qsizetype maxWords) {
  if (args.contains(u"--help"_s) || args.contains(u"-h"_s)) {
    c.help = SubcommandHelp(sub);
    return false;
  }
  c.parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  c.parser.addOptions(options);
  if (!c.parser.parse(QStringList{u"tables "_s + sub} + args)) {
    // The parser's own texts are English; say the same in Russian.
    const QString text = c.parser.errorText();
    const QString name = text.section(u'\'', 1, 1);
    c.usage = !c.parser.unknownOptionNames().isEmpty()
                  ? u"tables %1: неизвестный параметр «--%2»"_s.arg(
                        sub, c.parser.unknownOptionNames().front())
              : text.startsWith(u"Missing value"_s)
                  ? u"tables %1: после «%2» нет значения"_s.arg(sub, name)
              : text.startsWith(u"Unexpected value"_s)
                  ? u"tables %1: «%2» не принимает значения"_s.arg(sub, name)
                  : u"tables %1: %2"_s.arg(sub, text);
    return false;
  }
  const qsizetype words = c.parser.positionalArguments().size();
  if (words < minWords) {
    c.usage = u"tables %1: не указана папка с таблицами CSV"_s.arg(sub);
  } else if (words > maxWords) {
    c.usage = u"tables %1: лишний аргумент «%2»"_s.arg(sub, c.parser.positionalArguments().back());
  }
  return c.usage.isEmpty();
}

QCommandLineOption TablesFileOption() {
  return {u"tables"_s, u"файл таблиц"_s, u"FILE"_s};
}

LazyFile TablesFileOf(const QCommandLineParser& parser, const QString& option) {
  if (parser.isSet(option)) return LazyFile(parser.value(option), {parser.value(option)});
  QStringList searched;
  QString path = DefaultTablesPath(&searched);
  return LazyFile(std::move(path), std::move(searched));
}

// The options that say how the CSV files of a folder are read.
QList<QCommandLineOption> ReadingOptions() {
  return {{u"encoding"_s, u"кодировка файлов CSV"_s, u"NAME"_s},
          {u"delimiter"_s, u"разделитель в файлах CSV"_s, u"CHAR"_s}};
}

// How the options ask the CSV files to be read; nullopt, with `usage` set, for a value that names
// no encoding or delimiter.
std::optional<CsvReading> ReadingOf(const QCommandLineParser& p, const QString& sub,
                                    QString& usage) {
  CsvReading reading;
  if (p.isSet(u"encoding"_s)) {
    const std::optional<CsvEncoding> encoding = CsvEncodingNamed(p.value(u"encoding"_s));
    if (!encoding) {
      usage = u"tables %1: --encoding «%2» — допустимы %3"_s.arg(
          sub, Visible(p.value(u"encoding"_s)), CsvEncodingChoices());
      return std::nullopt;
    }
    reading.encoding = *encoding;
  }
  if (p.isSet(u"delimiter"_s)) {
    reading.delimiter = CsvDelimiterNamed(p.value(u"delimiter"_s));
    if (!reading.delimiter) {
      usage = u"tables %1: --delimiter «%2» — допустимы «,», «;» или tab"_s.arg(
          sub, Visible(p.value(u"delimiter"_s)));
      return std::nullopt;
    }
  }
  return reading;
}

int Export(const QStringList& args, Console& io) {
  Command c;
  if (!Parse(c, u"export"_s, args,
             {{u"type"_s, u"тип"_s, u"T"_s},
              TablesFileOption(),
              {u"delimiter"_s, {}, u"CHAR"_s},
              {u"bom"_s, {}},
              {u"force"_s, {}}},
             1, 1)) {
    return c.help.isEmpty() ? ReportUsage(io, c.usage) : (Print(io.out, c.help), kExitOk);
  }
  const QCommandLineParser& p = c.parser;
  const AircraftProfile* only = nullptr;
  if (p.isSet(u"type"_s) && !(only = ProfileNamed(p.value(u"type"_s)))) {
    return ReportUsage(io, u"tables export: --type: "_s + UnknownTypeMessage(p.value(u"type"_s)));
  }
  CsvStyle style;
  if (p.isSet(u"delimiter"_s)) {
    const QString d = p.value(u"delimiter"_s);
    if (d == u","_s || d == u";"_s) {
      style.delimiter = d == u";"_s ? ';' : ',';
    } else {
      return ReportUsage(
          io,
          u"tables export: --delimiter «%1» — допустимы «,» или «;» (тогда дробные числа с "
          u"запятой)"_s.arg(d));
    }
  }
  style.byteOrderMark = p.isSet(u"bom"_s);

  LazyFile file = TablesFileOf(p, u"tables"_s);
  std::vector<Finding> findings;
  TablesFile* f = file.Get(findings);
  if (!f) return ReportFailure(io, findings.front().text);
  struct Out {
    QString name;
    QByteArray bytes;
  };
  std::vector<Out> outs;
  for (const AircraftProfile& profile : AircraftProfiles()) {
    if (only && only != &profile) continue;
    const QString suffix = QString::fromLatin1(profile.suffix);
    const auto climb = FromView(*f, ViewName(suffix, TableKind::Climb), TableKind::Climb, findings);
    const auto grid = FromView(*f, ViewName(suffix, TableKind::Grid), TableKind::Grid, findings);
    if (climb)
      outs.push_back({CsvFileName(suffix, TableKind::Climb), ClimbCsv(climb->table, style)});
    if (grid) {
      outs.push_back(
          {CsvFileName(suffix, TableKind::Grid), GridCsv(grid->table, profile.rule, style)});
    }
  }
  if (!findings.empty()) {
    for (const Finding& e : findings) Print(io.out, FindingLine(e));
    return ReportFailure(
        io, u"tables export: таблицы не выгружены: в файле %1 есть ошибки"_s.arg(file.path()));
  }
  const QString folder = p.positionalArguments().front();
  const QFileInfo folderInfo(folder);
  if (folderInfo.exists() && !folderInfo.isDir()) {
    return ReportFailure(io, u"tables export: «%1» — не папка; ничего не записано"_s.arg(folder));
  }
  const bool madeFolder = !folderInfo.exists();
  if (!QDir().mkpath(folder)) {
    return ReportFailure(io, u"tables export: папка %1 не создаётся"_s.arg(folder));
  }
  const QDir dir(folder);
  if (!p.isSet(u"force"_s)) {
    QStringList existing;
    for (const Out& o : outs) {
      const QFileInfo info(dir.filePath(o.name));
      if (info.exists() || info.isSymLink()) existing << o.name;
    }
    if (!existing.isEmpty()) {
      return ReportFailure(io,
                           u"tables export: в папке %1 уже есть %2; чтобы заменить, добавьте "
                           u"--force"_s.arg(folder, existing.join(u", "_s)));
    }
  }
  // All the files or none: each is written whole beside its place first, then they are put in
  // place together, and a failure on the way puts back what was there.
  files::FileSet written;
  for (const Out& o : outs) {
    if (!written.Add(dir.filePath(o.name), o.bytes)) break;
  }
  if (!written.failure().isEmpty() || !written.Commit()) {
    if (madeFolder) QDir().rmdir(folder);
    return ReportFailure(io, u"tables export: файл "_s + written.failure());
  }
  Print(io.err, u"meltor-cli: таблицы из %1 выгружены в %2: файлов %3\n"_s.arg(file.path(), folder)
                    .arg(outs.size()));
  return kExitOk;
}

// CSV files in the folder that belong to no type: a misspelt name would otherwise silently leave
// the old table in place.
std::vector<Finding> StrayFiles(const QString& folder) {
  QStringList known;
  for (const AircraftProfile& p : AircraftProfiles()) {
    for (const TableKind kind : {TableKind::Climb, TableKind::Grid}) {
      known << CsvFileName(QString::fromLatin1(p.suffix), kind);
    }
  }
  std::vector<Finding> out;
  const QStringList present = QDir(folder).entryList({u"*.csv"_s, u"*.CSV"_s}, QDir::Files);
  if (std::none_of(known.begin(), known.end(),
                   [&](const QString& name) { return present.contains(name); })) {
    out.push_back({Finding::Warning, folder,
                   u"в папке нет ни одного файла таблиц — все таблицы берутся из файла"_s});
  }
  for (const QString& name : present) {
    if (!known.contains(name)) {
      out.push_back({Finding::Warning, name,
                     u"файл не относится ни к одной таблице и не читается; имена файлов: "
                     u"L39_pod.csv, L39_obl.csv и так далее для %1"_s.arg(TypeChoices())});
    }
  }
  return out;
}

int Build(const QStringList& args, Console& io) {
  Command c;
  if (!Parse(
          c, u"build"_s, args,
          QList<QCommandLineOption>{{{u"o"_s, u"output"_s}, u"новый файл таблиц"_s, u"NEW.mdb"_s},
                                    {u"from"_s, u"файл с остальными таблицами"_s, u"OLD.mdb"_s},
                                    {u"force"_s, {}}} +
              ReadingOptions(),
          1, 1)) {
    return c.help.isEmpty() ? ReportUsage(io, c.usage) : (Print(io.out, c.help), kExitOk);
  }
  const QCommandLineParser& p = c.parser;
  const std::optional<CsvReading> reading = ReadingOf(p, u"build"_s, c.usage);
  if (!reading) return ReportUsage(io, c.usage);
  if (!p.isSet(u"output"_s)) return ReportUsage(io, u"tables build: не указан -o NEW.mdb"_s);
  const QString folder = p.positionalArguments().front();
  const QString output = p.value(u"output"_s);
  if (!QFileInfo(folder).isDir()) {
    return ReportFailure(io, u"tables build: папки %1 нет"_s.arg(folder));
  }
  if (QFileInfo(output).isDir()) {
    return ReportFailure(
        io,
        u"tables build: «%1» — папка; укажите имя нового файла таблиц, "
        u"например %2"_s.arg(output, QDir(output).filePath(QString::fromLatin1(kTablesFileName))));
  }
  // A link is followed to its file; a device or FIFO is written, not replaced.
  const auto target = files::ResolveTarget(output);
  if (const QString* why = std::get_if<QString>(&target)) {
    return ReportFailure(io, u"tables build: файл таблиц "_s + *why);
  }
  if (std::get<files::Target>(target).kind == files::Target::Kind::File && !p.isSet(u"force"_s)) {
    return ReportFailure(io,
                         u"tables build: файл %1 уже существует; чтобы заменить его, добавьте "
                         u"--force"_s.arg(output));
  }
  LazyFile file = TablesFileOf(p, u"from"_s);
  const std::vector<TypeTables> types = LoadTypes(folder, file, *reading);
  ReportGuessedEncodings(types, io);
  const Counts counts = Report(types, StrayFiles(folder), io);
  const bool complete = std::all_of(types.begin(), types.end(),
                                    [](const TypeTables& t) { return t.climb && t.grid; });
  if (counts.errors > 0 || !complete) {
    return ReportFailure(
        io, u"tables build: файл %1 не записан: ошибок %2"_s.arg(output).arg(counts.errors));
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
  try {
    BuildTablesFile(output, build, p.isSet(u"force"_s));
  } catch (const CalcError& e) {
    return ReportFailure(io, u"tables build: %1"_s.arg(e.message()));
  }
  Print(io.err, u"meltor-cli: записан %1; из папки: %2; из %3: %4; предупреждений: %5\n"_s
                    .arg(output, fromFolder.isEmpty() ? u"—"_s : fromFolder.join(u", "_s),
                         file.path(), fromFile.isEmpty() ? u"—"_s : fromFile.join(u", "_s))
                    .arg(counts.warnings));
  return kExitOk;
}

int Check(const QStringList& args, Console& io) {
  Command c;
  if (!Parse(c, u"check"_s, args,
             QList<QCommandLineOption>{TablesFileOption(), {u"strict"_s, {}}} + ReadingOptions(), 0,
             1)) {
    return c.help.isEmpty() ? ReportUsage(io, c.usage) : (Print(io.out, c.help), kExitOk);
  }
  const QCommandLineParser& p = c.parser;
  const std::optional<CsvReading> reading = ReadingOf(p, u"check"_s, c.usage);
  if (!reading) return ReportUsage(io, c.usage);
  LazyFile file = TablesFileOf(p, u"tables"_s);
  std::vector<TypeTables> types;
  std::vector<Finding> extra;
  QString checked = file.path();
  if (!p.positionalArguments().isEmpty()) {
    const QString folder = p.positionalArguments().front();
    if (!QFileInfo(folder).isDir()) {
      return ReportFailure(io, u"tables check: папки %1 нет"_s.arg(folder));
    }
    checked = folder;
    types = LoadTypes(folder, file, *reading, nullptr, false);
    ReportGuessedEncodings(types, io);
    extra = StrayFiles(folder);
  } else {
    TablesFile* f = file.Get(extra);
    if (!f) return ReportFailure(io, extra.front().text);
    // The six types, and any other views named like climb tables.
    types = LoadTypes({}, file, *reading, nullptr, false);
    const QList<ViewInfo> views = f->Views();
    QStringList suffixes;
    for (const ViewInfo& v : views) {
      for (const QLatin1StringView prefix : {kClimbPrefix, kGridPrefix}) {
        const QString suffix = v.name.mid(prefix.size());
        if (v.name.startsWith(prefix) && !ProfileNamed(suffix) && !suffixes.contains(suffix)) {
          suffixes << suffix;
        }
      }
    }
    for (const QString& suffix : suffixes) {
      TypeTables t;
      t.suffix = suffix;
      for (const TableKind kind : {TableKind::Climb, TableKind::Grid}) {
        const QString name = ViewName(suffix, kind);
        const bool present = std::any_of(views.begin(), views.end(),
                                         [&](const ViewInfo& v) { return v.name == name; });
        if (present) Load(t, kind, {}, file, *reading);
      }
      CheckType(t);
      ReleaseCells(t);
      types.push_back(std::move(t));
    }
  }
  const Counts n = Report(types, extra, io);
  const bool failed = n.errors > 0 || (p.isSet(u"strict"_s) && n.warnings > 0);
  Print(io.err,
        u"meltor-cli: %1: таблиц проверено: %2, ошибок: %3, предупреждений: %4%5\n"_s.arg(checked)
            .arg(n.tables)
            .arg(n.errors)
            .arg(n.warnings)
            .arg(failed && n.errors == 0 ? u" (--strict: предупреждения — ошибки)"_s : QString()));
  return failed ? kExitFailed : kExitOk;
}

int Plot(const QStringList& args, Console& io) {
  Command c;
  if (!Parse(c, u"plot"_s, args,
             QList<QCommandLineOption>{{u"type"_s, u"тип"_s, u"T"_s},
                                       {{u"o"_s, u"output"_s}, u"рисунок SVG или PNG"_s, u"FILE"_s},
                                       TablesFileOption()} +
                 ReadingOptions(),
             0, 1)) {
    return c.help.isEmpty() ? ReportUsage(io, c.usage) : (Print(io.out, c.help), kExitOk);
  }
  const QCommandLineParser& p = c.parser;
  const std::optional<CsvReading> reading = ReadingOf(p, u"plot"_s, c.usage);
  if (!reading) return ReportUsage(io, c.usage);
  if (!p.isSet(u"type"_s)) return ReportUsage(io, u"tables plot: не указан --type T"_s);
  if (!p.isSet(u"output"_s))
    return ReportUsage(io, u"tables plot: не указан -o FILE (.svg или .png)"_s);
  const AircraftProfile* profile = ProfileNamed(p.value(u"type"_s));
  if (!profile) {
    return ReportUsage(io, u"tables plot: --type: "_s + UnknownTypeMessage(p.value(u"type"_s)));
  }
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    return ReportFailure(io, u"tables plot: рисунку нужны шрифты, а программа запущена без них"_s);
  }
  LazyFile file = TablesFileOf(p, u"tables"_s);
  const QString folder = p.positionalArguments().value(0);
  if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
    return ReportFailure(io, u"tables plot: папки %1 нет"_s.arg(folder));
  }
  std::vector<TypeTables> types = LoadTypes(folder, file, *reading, profile);
  ReportGuessedEncodings(types, io);
  TypeTables& t = types.front();
  if (HasErrors(t.climbFindings) || HasErrors(t.gridFindings)) {
    Report(types, {}, io);
    return ReportFailure(io, u"tables plot: в таблицах ошибки, рисунок не сделан"_s);
  }
  PlotInput input{u"%1 (%2)"_s.arg(QString::fromUtf16(profile->entry), t.suffix),
                  profile->rule,
                  &*t.climb,
                  &*t.grid,
                  t.climbFindings,
                  t.gridFindings};
  try {
    PlotTables(p.value(u"output"_s), input);
  } catch (const CalcError& e) {
    return ReportFailure(io, u"tables plot: %1"_s.arg(e.message()));
  }
  const Counts n = Report(types, {}, io);
  Print(
      io.err,
      u"meltor-cli: записан %1; предупреждений: %2\n"_s.arg(p.value(u"output"_s)).arg(n.warnings));
  return kExitOk;
}

}  // namespace

std::optional<int> RunTableTools(const QStringList& args, Console& io) {
  // The sub-command is the first word that is neither an option nor an option's value.
  static const QStringList takeValue = {u"--tables"_s, u"--type"_s,      u"--from"_s,    u"-o"_s,
                                        u"--output"_s, u"--delimiter"_s, u"--encoding"_s};
  qsizetype at = 0;
  while (at < args.size() && args[at].startsWith(u'-') && args[at] != u"--"_s) {
    at += takeValue.contains(args[at]) ? 2 : 1;
  }
  if (at >= args.size()) return std::nullopt;
  const QString sub = args[at];
  QStringList rest = args;
  rest.removeAt(at);
  if (sub == u"export"_s) return Export(rest, io);
  if (sub == u"build"_s) return Build(rest, io);
  if (sub == u"check"_s) return Check(rest, io);
  if (sub == u"plot"_s) return Plot(rest, io);
  return std::nullopt;
}

}  // namespace meltor::cli
