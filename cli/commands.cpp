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

QString HelpText() {
  return u"meltor-cli %1 — время полёта в закрытой кабине, в облаках, за облаками, при "
         u"ограниченной видимости и всего в СМУ, по таблицам набора высоты.\n"
         u"\n"
         u"Использование:\n"
         u"  meltor-cli calc [--tables FILE] [--explain] --type TEXT [параметры полёта]\n"
         u"  meltor-cli batch [--tables FILE] [--format csv|json] [--delimiter CHAR] [--bom] "
         u"[--totals] [INPUT.csv | -]\n"
         u"  meltor-cli tables list [--tables FILE]\n"
         u"  meltor-cli tables show NAME [--tables FILE]\n"
         u"  meltor-cli tables check [--tables FILE] [--strict] [DIR]\n"
         u"  meltor-cli tables export [--type T] [--tables FILE] [--delimiter ,|;] [--bom] "
         u"[--force] DIR\n"
         u"  meltor-cli tables build DIR -o NEW.mdb [--from OLD.mdb] [--force]\n"
         u"  meltor-cli tables plot --type T [--tables FILE] [DIR] -o FILE.svg\n"
         u"  meltor-cli --help | --version\n"
         u"\n"
         u"calc — один полёт. Каждый TEXT читается так же, как текст поля окна; пропущенный "
         u"параметр — пустое поле.\n"
         u"%2"
         u"Выводит пять строк «заголовок: значение»; с --explain — затем, после пустой строки и "
         u"заголовка «Как получен результат:», путь расчёта по строке на шаг: запись полёта, "
         u"профиль и минимумы, погода, случай, поиск в таблицах, секунды, округление и баланс "
         u"минут. Если расчёт не удался, с --explain путь до места остановки всё равно выводится "
         u"(последняя строка — причина), сообщение — в stderr.\n"
         u"\n"
         u"batch — полёты из файла CSV (UTF-8, кавычки по RFC 4180; «-» или ничего — стандартный "
         u"ввод).\n"
         u"%3"
         u"  Первая строка — заголовок из столбцов type, hours, minutes, clouds, base, top, "
         u"vis_km, "
         u"vis_hm, day_night, hood_close, hood_open, height в любом порядке; недостающий столбец — "
         u"пустое поле (hours — «0»). day_night: day, night, днём, ночью или пусто.\n"
         u"  Разделитель входа — первая запятая, точка с запятой или табуляция вне кавычек в "
         u"заголовке; так читаются и файлы электронных таблиц русской локали. Метка порядка "
         u"байтов в начале пропускается.\n"
         u"  Вывод — CSV: введённые столбцы и zak_kab, obl, za_obl, ogr_vid, smu, error, "
         u"warnings. Строка, "
         u"расчёт которой не удался, получает «-» в пяти результатах и сообщение в error; "
         u"остальные строки считаются. Для электронной таблицы с русской локалью: "
         u"--delimiter ';' --bom.\n"
         u"  --totals: последняя строка — ИТОГО в type, суммы минут удавшихся строк в пяти "
         u"результатах (Ч.ММ; нулевая сумма — «-», в smu — «ПМУ») и «ошибок: N» в error.\n"
         u"  --format json: массив объектов, по одному на строку входа, с ключами столбцов CSV; "
         u"значения — тексты, error — null или сообщение. С --totals вывод — объект "
         u"{\"rows\": [...], \"totals\": {...}}; в totals — zak_kab, obl, za_obl, ogr_vid, smu "
         u"(тексты, как в CSV), rows (строк всего) и failed (строк с ошибкой).\n"
         u"  При ошибке чтения входа (кавычки, кодировка) строки до неё выведены, итог — нет, код "
         u"выхода 1.\n"
         u"\n"
         u"tables list — представления файла таблиц с числом полей и записей.\n"
         u"tables show NAME — таблица в виде сетки.\n"
         u"tables check — проверка таблиц Z_Time_Pod_* и Z_Time_Obl_* файла (или, с DIR, файлов "
         u"CSV папки и остальных таблиц файла); по строке на каждую ошибку и предупреждение с "
         u"местом: файл, строка, столбец. Код 1 при ошибках; с --strict и при предупреждениях.\n"
         u"tables export — таблицы типа T (без --type — всех) в папку DIR: S_pod.csv (height_m, "
         u"time_s) и S_obl.csv (первая строка — ключи столбцов, далее строка на каждую Нн); "
         u"существующие файлы — только с --force.\n"
         u"tables build — новый файл таблиц из CSV папки DIR; таблицы, которых в папке нет, — из "
         u"--from (без него — из файла программы). При ошибках файл не пишется; существующий "
         u"заменяется только с --force, и при сбое остаётся прежним.\n"
         u"tables plot — рисунок SVG таблиц типа T (из папки DIR или из файла) с отмеченными "
         u"предупреждениями проверки.\n"
         u"%4"
         u"\n"
         u"Часы, минуты и высота полёта читаются по правилам локали окружения (LC_ALL, LC_NUMERIC, "
         u"LANG); остальные поля — с точкой в качестве десятичного разделителя, до первого знака, "
         u"который не продолжает число («4,5» — это 4). Если часть текста поля не прочитана, "
         u"calc пишет предупреждение в stderr, batch — в столбец warnings.\n"
         u"\n"
         u"Коды выхода: 0 — успешно; 1 — ошибка расчёта, таблиц или входных данных (сообщение в "
         u"stderr); 2 — ошибка в командной строке.\n"_s.arg(
             QString::fromLatin1(MELTOR_VERSION_TEXT), CalcOptionsHelp(), BatchOptionsHelp(),
             TablesOptionsHelp());
}

}  // namespace

int Run(const QStringList& args, Console& console) {
  if (args.contains(u"--help"_s) || args.contains(u"-h"_s) ||
      (!args.isEmpty() && args.front() == u"help"_s)) {
    Print(console.out, HelpText());
    return kExitOk;
  }
  if (args.isEmpty()) return ReportUsage(console, u"не указана команда: calc, batch или tables"_s);

  const QString& command = args.front();
  const QStringList rest = args.mid(1);
  if (command == u"--version"_s) {
    if (!rest.isEmpty()) return ReportUsage(console, u"--version не принимает аргументов"_s);
    Print(console.out, VersionText());
    return kExitOk;
  }
  if (command == u"calc"_s) return RunCalc(rest, console);
  if (command == u"batch"_s) return RunBatch(rest, console);
  if (command == u"tables"_s) return RunTables(rest, console);
  return ReportUsage(console, u"неизвестная команда «%1»"_s.arg(command));
}

}  // namespace meltor::cli
