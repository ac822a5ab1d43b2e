// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "commands.h"

#include "command_support.h"

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

QString VersionText() {
  return u"meltor-cli %1\n"_s.arg(QString::fromLatin1(MELTOR_VERSION_TEXT));
}

QString CalcHelp() {
  return u"Использование: meltor-cli calc -t ТИП [параметры полёта]\n\n"_s +
         Wrapped(
             u"Один полёт. Каждое значение читается так же, как текст в поле окна с тем же "
             u"названием; пропущенный параметр — пустое поле. Выводит пять строк "
             u"«заголовок: значение»; если расчёт не удался — сообщение в stderr, код "
             u"выхода 1. Часы, минуты и высота полёта читаются по правилам локали окружения "
             u"(LC_ALL, LC_NUMERIC, LANG), остальные числа — с точкой, до первого знака, "
             u"который не продолжает число («4,5» — это 4); если часть текста не прочитана, "
             u"об этом пишется предупреждение в stderr."_s,
             0) +
         u"\nПараметры:\n"_s + CalcOptionsHelp();
}

QString BatchHelp() {
  return u"Использование: meltor-cli batch [параметры] [ФАЙЛ.csv | -]\n\n"_s +
         Wrapped(
             u"Полёты из файла CSV (без файла или «-» — стандартный ввод), по строке на "
             u"полёт. Первая строка — заголовок из столбцов в любом порядке: type — тип "
             u"самолёта; hours и minutes — время полёта, ч и мин; clouds — облачность, "
             u"баллов; base и top — Нн и Нв, м; vis_km и vis_hm — видимость, км и сотни м; "
             u"day_night — day, night, днём, ночью или пусто; hood_close и hood_open — "
             u"высоты закрытия и открытия шторки, м; height — высота полёта, м. Недостающий "
             u"столбец — пустое поле (hours — «0»)."_s,
             0) +
         u"\n"_s +
         Wrapped(
             u"Разделитель — запятая, точка с запятой или табуляция, как в заголовке; "
             u"кавычки — по RFC 4180. Строка, которую нельзя прочитать (байт не в "
             u"кодировке, лишняя кавычка), получает ошибку, чтение идёт со следующей; "
             u"запись длиннее 1 МБ останавливает чтение."_s,
             0) +
         u"\n"_s +
         Wrapped(
             u"Вывод — CSV с тем же разделителем и меткой порядка байтов, что у входа: "
             u"введённые столбцы, zak_kab, obl, za_obl, ogr_vid, smu, error и warnings. Строка, "
             u"расчёт которой не удался, получает «-» в результатах и сообщение в error; "
             u"текст поля, прочитанный не целиком, отмечен в warnings; остальные "
             u"строки считаются. Введённое поле, которое электронная таблица приняла бы за "
             u"формулу (начало =, +, -, @), выводится с апострофом впереди, если это не "
             u"число."_s,
             0) +
         u"\n"_s +
         Wrapped(
             u"Коды выхода: 0 — рассчитаны все строки; 1 — часть строк не рассчитана (в "
             u"stderr — «N из M строк не рассчитаны») или вывод не записан; 2 — ошибка в "
             u"командной строке или входной файл не прочитан."_s,
             0) +
         u"\nПараметры:\n"_s + BatchOptionsHelp();
}

QString TablesHelp() {
  return u"Использование: meltor-cli tables list|show ИМЯ|check|export|build|plot ...\n\n"
         u"  list       представления файла таблиц с числом полей и записей\n"
         u"  show ИМЯ   одна таблица в виде сетки\n"
         u"  check      проверка таблиц Z_Time_Pod_* и Z_Time_Obl_* (с ПАПКОЙ — файлов\n"
         u"             CSV в ней); по строке на ошибку и предупреждение с местом;\n"
         u"             код выхода 1 при ошибках, с --strict — и при предупреждениях\n"
         u"  export     таблицы в файлы CSV папки: ТИП_pod.csv и ТИП_obl.csv\n"
         u"  build      новый файл таблиц из файлов CSV папки (-o НОВЫЙ.mdb)\n"
         u"  plot       рисунок SVG таблиц одного типа (--type, -o ФАЙЛ.svg)\n"
         u"\n"
         u"  Параметры export, build, check и plot: meltor-cli tables КОМАНДА --help.\n"
         u"\nПараметры:\n"_s +
         TablesOptionsHelp();
}

QString HelpText() {
  return u"meltor-cli %1\n"_s.arg(QString::fromLatin1(MELTOR_VERSION_TEXT)) +
         Wrapped(
             u"Время полёта для лётной книжки — в закрытой кабине, в облаках, за облаками, "
             u"при ограниченной видимости и всего в СМУ — по таблицам набора высоты, как в "
             u"окне программы."_s,
             0) +
         u"\n"
         u"Команды:\n"
         u"  calc      один полёт\n"
         u"  batch     полёты из файла CSV\n"
         u"  tables    таблицы набора высоты: list, show, check, export, build, plot\n"
         u"\n"
         u"  meltor-cli КОМАНДА --help   параметры команды\n"
         u"  meltor-cli --version        версия\n"
         u"\n"
         u"Коды выхода: 0 — успешно; 1 — ошибка расчёта, таблиц, данных или записи\n"
         u"вывода (сообщение в stderr); 2 — ошибка в командной строке.\n"
         u"\n"
         u"==== calc ====\n"_s +
         CalcHelp() + u"\n==== batch ====\n"_s + BatchHelp() + u"\n==== tables ====\n"_s +
         TablesHelp();
}

// The help of one command, or of the program for anything else.
QString HelpFor(const QString& command) {
  if (command == u"calc"_s) return CalcHelp();
  if (command == u"batch"_s) return BatchHelp();
  if (command == u"tables"_s) return TablesHelp();
  return HelpText();
}

int Dispatch(const QStringList& args, Console& io) {
  const QString command = args.value(0);
  const QStringList rest = args.mid(1);
  const bool isCommand = command == u"calc"_s || command == u"batch"_s || command == u"tables"_s;
  const std::vector<OptionInfo> tablesOptions{TablesOption()};
  const std::span<const OptionInfo> known = command == u"calc"_s    ? CalcOptions()
                                            : command == u"batch"_s ? BatchOptions()
                                            : command == u"tables"_s
                                                ? std::span<const OptionInfo>(tablesOptions)
                                                : std::span<const OptionInfo>();

  if (command == u"help"_s) {
    Print(io.out, HelpFor(rest.value(0)));
    return kExitOk;
  }
  // --help and --version stand anywhere on the line.
  const bool global = command.isEmpty() || command.startsWith(u'-');
  // The table tools have a help each of their own.
  const bool tool =
      command == u"tables"_s &&
      QStringList{u"export"_s, u"build"_s, u"check"_s, u"plot"_s}.contains(rest.value(0));
  if (HasFlag(args, known, {u"--help"_s, u"-h"_s}) && (isCommand || global) && !tool) {
    Print(io.out, HelpFor(command));
    return kExitOk;
  }
  if (HasFlag(args, known, {u"--version"_s, u"-V"_s}) && (isCommand || global)) {
    if (global && args.size() > 1) {
      return ReportUsage(io, u"--version не принимает аргументов"_s);
    }
    Print(io.out, VersionText());
    return kExitOk;
  }

  if (args.isEmpty()) return ReportUsage(io, u"не указана команда: calc, batch или tables"_s);
  if (command == u"calc"_s) return RunCalc(rest, io);
  if (command == u"batch"_s) return RunBatch(rest, io);
  if (command == u"tables"_s) return RunTables(rest, io);
  if (global) {
    return ReportUsage(
        io, u"неизвестный параметр «%1»; сначала команда: calc, batch или tables"_s.arg(command));
  }
  return ReportUsage(io, u"неизвестная команда «%1»"_s.arg(Visible(command)));
}

}  // namespace

int Run(const QStringList& args, Console& console) {
  // Every command writes through the check, so a lost write is never a success.
  CheckedOutput out(console.out);
  Console io{console.in, out, console.err, console.errIsTerminal, console.locale};
  const int code = Dispatch(args, io);
  if (!out.Finish()) {
    ReportFailure(console, u"вывод не записан: %1"_s.arg(out.failure()));
    return code == kExitOk ? kExitFailed : code;
  }
  return code;
}

}  // namespace meltor::cli
