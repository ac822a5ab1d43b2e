// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The CSV reader and writer: quoting, line breaks, blank records, faults, limits, the encoding
// and the delimiter found in the input, and input that arrives in pieces of any size.

#include "csv.h"

#include <QBuffer>
#include <QTest>

using namespace Qt::StringLiterals;
using meltor::CsvEncoding;
using meltor::CsvReader;
using meltor::CsvWriter;

using Records = QList<QStringList>;

namespace {

struct ReadResult {
  Records records;
  QList<int> lines;   // the line each record starts on
  QList<int> spoilt;  // the lines of the records read with a problem
  int errorLine = 0;
  QString errorMessage;
};

ReadResult ReadAll(const QByteArray& bytes, qsizetype chunkSize, const QString& encoding = {}) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  CsvReader reader(buffer, ',', chunkSize);
  if (!encoding.isEmpty()) {
    const std::optional<CsvEncoding> named = meltor::CsvEncodingNamed(encoding);
    if (!named) return {};
    reader.SetEncoding(*named);
  }
  ReadResult result;
  while (auto record = reader.Next()) {
    result.records << *record;
    result.lines << reader.recordLine();
    if (reader.problem()) result.spoilt << reader.problem()->line;
  }
  if (reader.error()) {
    result.errorLine = reader.error()->line;
    result.errorMessage = reader.error()->message;
  }
  return result;
}

}  // namespace

class CsvTest : public QObject {
  Q_OBJECT

 private slots:
  void reads_data();
  void reads();
  void recordLines();
  void limits_data();
  void limits();
  void choosesEncoding_data();
  void choosesEncoding();
  void detectsDelimiter_data();
  void detectsDelimiter();
  void writes_data();
  void writes();
  void roundTrip();
  void defusesFormulas_data();
  void defusesFormulas();
};

void CsvTest::reads_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<Records>("expected");
  QTest::addColumn<QList<int>>("spoilt");  // lines of the records read with a problem
  QTest::addColumn<int>("errorLine");      // 0: no error that ends the reading
  QTest::addColumn<QString>("encoding");   // empty: chosen by the reader

  const QList<int> none;
  const qsizetype max = CsvReader::kMaxRecordBytes;
  QTest::newRow("two records, LF") << "a,b\n1,2\n"_ba << Records{{"a"_L1, "b"_L1}, {"1"_L1, "2"_L1}}
                                   << QList<int>{} << 0 << QString();
  QTest::newRow("CRLF") << "a,b\r\n1,2\r\n"_ba << Records{{"a"_L1, "b"_L1}, {"1"_L1, "2"_L1}}
                        << QList<int>{} << 0 << QString();
  QTest::newRow("no final line break")
      << "a,b\n1,2"_ba << Records{{"a"_L1, "b"_L1}, {"1"_L1, "2"_L1}} << QList<int>{} << 0
      << QString();
  QTest::newRow("CR alone ends a line")
      << "a\rb\r"_ba << Records{{"a"_L1}, {"b"_L1}} << QList<int>{} << 0 << QString();
  QTest::newRow("empty fields; a record of them is none")
      << ",,\n,x,\n"_ba << Records{{""_L1, "x"_L1, ""_L1}} << QList<int>{} << 0 << QString();
  QTest::newRow("records of blanks are none")
      << "a\n , \n \t \n,,,\r\nb\n"_ba << Records{{"a"_L1}, {"b"_L1}} << none << 0 << QString();
  QTest::newRow("a blank record at the end")
      << "a\n,"_ba << Records{{"a"_L1}} << none << 0 << QString();
  QTest::newRow("trailing delimiter")
      << "a,\nb,"_ba << Records{{"a"_L1, ""_L1}, {"b"_L1, ""_L1}} << QList<int>{} << 0 << QString();
  QTest::newRow("blanks belong to the field")
      << " a , b\n"_ba << Records{{" a "_L1, " b"_L1}} << QList<int>{} << 0 << QString();
  QTest::newRow("quoted delimiter")
      << "\"a,b\",c\n"_ba << Records{{"a,b"_L1, "c"_L1}} << QList<int>{} << 0 << QString();
  QTest::newRow("blanks around quotes are no part of the field")
      << "  \"a,b\" ,\t\"c \"\t\n \"d\" "_ba << Records{{"a,b"_L1, "c "_L1}, {"d"_L1}} << none << 0
      << QString();
  QTest::newRow("doubled quotes") << "\"say \"\"hi\"\"\"\n"_ba << Records{{"say \"hi\""_L1}}
                                  << QList<int>{} << 0 << QString();
  QTest::newRow("quoted line breaks kept")
      << "\"1\n2\",\"3\r\n4\"\nx\n"_ba << Records{{"1\n2"_L1, "3\r\n4"_L1}, {"x"_L1}}
      << QList<int>{} << 0 << QString();
  QTest::newRow("empty quoted field")
      << "\"\"\n\"\",a\n"_ba << Records{{""_L1}, {""_L1, "a"_L1}} << QList<int>{} << 0 << QString();
  QTest::newRow("empty lines are no records")
      << "\na\n\r\n\nb\n\n"_ba << Records{{"a"_L1}, {"b"_L1}} << QList<int>{} << 0 << QString();
  QTest::newRow("empty input") << ""_ba << Records{} << QList<int>{} << 0 << QString();
  QTest::newRow("byte order mark skipped")
      << "\xEF\xBB\xBFtype\nL-39\n"_ba << Records{{"type"_L1}, {"L-39"_L1}} << QList<int>{} << 0
      << QString();
  QTest::newRow("byte order mark later is text")
      << "a\n\xEF\xBB\xBF\n"_ba << Records{{"a"_L1}, {u"\uFEFF"_s}} << QList<int>{} << 0
      << QString();
  QTest::newRow("Cyrillic") << "Л-39,днём\n"_ba << Records{{u"Л-39"_s, u"днём"_s}} << QList<int>{}
                            << 0 << QString();

  // A fault spoils its own record; the next line is read as usual.
  QTest::newRow("unterminated quote, lines it swallows")
      << "x\ny,\"abc\nd\n"_ba << Records{{"x"_L1}, {"y"_L1, "abc\nd\n"_L1}} << QList<int>{2} << 0
      << QString();
  QTest::newRow("text after closing quote")
      << "a\n\"b\"c,d\ne\n"_ba << Records{{"a"_L1}, {"bc,d"_L1}, {"e"_L1}} << QList<int>{2} << 0
      << QString();
  QTest::newRow("quote inside unquoted field")
      << "ab\"c,d\ne\n"_ba << Records{{"ab\"c,d"_L1}, {"e"_L1}} << QList<int>{1} << 0 << QString();
  QTest::newRow("not UTF-8") << "a\nб\xFF,c\nd\n"_ba
                             << Records{{"a"_L1}, {u"б\uFFFD"_s, "c"_L1}, {"d"_L1}} << QList<int>{2}
                             << 0 << QString();
  QTest::newRow("not UTF-8, named")
      << "a\nb\xFF,c\n"_ba << Records{{"a"_L1}, {u"b\uFFFD"_s, "c"_L1}} << QList<int>{2} << 0
      << u"utf-8"_s;
  QTest::newRow("text after blanks after a closing quote")
      << "\"a\" b,c\nd\n"_ba << Records{{"a b,c"_L1}, {"d"_L1}} << QList<int>{1} << 0 << QString();
  // The encoding is chosen from the first 64 KB: a bad byte beyond them spoils its record.
  QTest::newRow("a bad byte beyond the first 64 KB")
      << "a\n"_ba.repeated(35000) + "\xCB\n"
      << Records(35000, QStringList{"a"_L1}) + Records{{u"\uFFFD"_s}} << QList<int>{35001} << 0
      << QString();
  QTest::newRow("NUL byte") << "a\0b\nc\n"_ba << Records{{u"a\uFFFDb"_s}, {"c"_L1}} << QList<int>{1}
                            << 0 << QString();
  QTest::newRow("line count passes quoted breaks")
      << "\"a\nb\"\n\"c\"x\n"_ba << Records{{"a\nb"_L1}, {"cx"_L1}} << QList<int>{3} << 0
      << QString();
  QTest::newRow("Windows-1251") << "\xCB-39,\xE4\xED\xB8\xEC\n"_ba
                                << Records{{u"Л-39"_s, u"днём"_s}} << none << 0
                                << u"windows-1251"_s;
  QTest::newRow("UTF-8 named") << "\xD0\x9B\n"_ba << Records{{u"Л"_s}} << none << 0 << u"UTF-8"_s;
  QTest::newRow("Windows-1251 found") << "\xCB-39,\xE4\xED\xB8\xEC\n"_ba
                                      << Records{{u"Л-39"_s, u"днём"_s}} << none << 0 << QString();
  QTest::newRow("KOI8-R") << "\xEC-39\n"_ba << Records{{u"Л-39"_s}} << none << 0 << u"koi8-r"_s;
  QTest::newRow("CP866") << "\x8B-39\n"_ba << Records{{u"Л-39"_s}} << none << 0 << u"cp866"_s;

  // What ends the reading: UTF-16 and records beyond the maximum, line break included.
  QTest::newRow("UTF-16") << "\xFF\xFE"
                             "a\0\n\0"_ba
                          << Records{} << none << 1 << QString();
  QTest::newRow("longest record") << QByteArray(max - 1, 'x') + "\nb\n"
                                  << Records{{QString(max - 1, u'x')}, {"b"_L1}} << none << 0
                                  << QString();
  QTest::newRow("record one byte too long") << "a\n"_ba + QByteArray(max, 'x') + "\nb\n"
                                            << Records{{"a"_L1}} << none << 2 << QString();
  QTest::newRow("NUL bytes without a line break")
      << QByteArray(max + 1, '\0') << Records{} << none << 1 << QString();
  QTest::newRow("quote open past the maximum")
      << "a\n\""_ba + QByteArray(max, '\n') << Records{{"a"_L1}} << none << 2 << QString();
}

void CsvTest::reads() {
  QFETCH(QByteArray, input);
  QFETCH(Records, expected);
  QFETCH(QList<int>, spoilt);
  QFETCH(int, errorLine);
  QFETCH(QString, encoding);
  // Pieces of one, two and three bytes split every CRLF, doubled quote and UTF-8 sequence; the
  // message of an error is the same for all of them.
  const QString message = ReadAll(input, 65536, encoding).errorMessage;
  for (const qsizetype chunk : {qsizetype{1}, qsizetype{2}, qsizetype{3}, qsizetype{65536}}) {
    const ReadResult r = ReadAll(input, chunk, encoding);
    QCOMPARE(r.errorMessage, message);
    QVERIFY2(r.records == expected, qPrintable(u"chunk %1"_s.arg(chunk)));
    QVERIFY2(r.spoilt == spoilt, qPrintable(u"chunk %1"_s.arg(chunk)));
    QVERIFY2(r.errorLine == errorLine,
             qPrintable(u"chunk %1: error line %2"_s.arg(chunk).arg(r.errorLine)));
  }
}

void CsvTest::recordLines() {
  const ReadResult r = ReadAll("h\n\n\"a\nb\"\n\nc\n , \nd\n"_ba, 2);
  QCOMPARE(r.records.size(), 4);
  QCOMPARE(r.lines, (QList<int>{1, 3, 6, 8}));
}

void CsvTest::limits_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<int>("maxFields");      // -1: every field kept
  QTest::addColumn<int>("maxInputBytes");  // -1: no limit
  QTest::addColumn<Records>("expected");
  QTest::addColumn<QList<int>>("fieldCounts");   // of each record
  QTest::addColumn<QList<int>>("filledCounts");  // up to the last field with text
  QTest::addColumn<int>("errorLine");            // 0: no error that ends the reading

  QTest::newRow("every field kept") << "1,2,,\n\"\",2\n"_ba << -1 << -1
                                    << Records{{"1"_L1, "2"_L1, ""_L1, ""_L1}, {""_L1, "2"_L1}}
                                    << QList<int>{4, 2} << QList<int>{2, 2} << 0;
  QTest::newRow("fields beyond the most kept are counted")
      << "1,2,3,4\n1,,,\n"_ba << 2 << -1 << Records{{"1"_L1, "2"_L1}, {"1"_L1, ""_L1}}
      << QList<int>{4, 4} << QList<int>{4, 1} << 0;
  QTest::newRow("a long row of commas kept as none")
      << "a\n"_ba + QByteArray(500000, ',') + "\nb\n"
      << 3 << -1 << Records{{"a"_L1}, {"b"_L1}} << QList<int>{1, 1} << QList<int>{1, 1} << 0;
  QTest::newRow("input at its maximum")
      << "a,b\nc,d\ne\n"_ba << -1 << 10 << Records{{"a"_L1, "b"_L1}, {"c"_L1, "d"_L1}, {"e"_L1}}
      << QList<int>{2, 2, 1} << QList<int>{2, 2, 1} << 0;
  QTest::newRow("input a byte past it")
      << "a,b\nc,d\ne\n"_ba << -1 << 9 << Records{} << QList<int>{} << QList<int>{} << 1;
}

void CsvTest::limits() {
  QFETCH(QByteArray, input);
  QFETCH(int, maxFields);
  QFETCH(int, maxInputBytes);
  QFETCH(Records, expected);
  QFETCH(QList<int>, fieldCounts);
  QFETCH(QList<int>, filledCounts);
  QFETCH(int, errorLine);
  for (const qsizetype chunk : {qsizetype{1}, qsizetype{4}, qsizetype{65536}}) {
    QBuffer buffer;
    buffer.setData(input);
    buffer.open(QIODevice::ReadOnly);
    CsvReader reader(buffer, ',', chunk);
    reader.SetMaxFields(maxFields);
    reader.SetMaxInputBytes(maxInputBytes);
    Records records;
    QList<int> fields, filled;
    while (auto record = reader.Next()) {
      records << *record;
      fields << static_cast<int>(reader.fieldCount());
      filled << static_cast<int>(reader.filledCount());
    }
    QCOMPARE(records, expected);
    QCOMPARE(fields, fieldCounts);
    QCOMPARE(filled, filledCounts);
    QCOMPARE(reader.error() ? static_cast<int>(reader.error()->line) : 0, errorLine);
  }
}

void CsvTest::choosesEncoding_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QString>("chosen");  // as CsvEncodingShown names it
  QTest::addColumn<bool>("note");       // whether the reader says it guessed

  const QByteArray ascii(CsvReader::kEncodingWindow - 1, 'x');
  QTest::newRow("ASCII") << "a,b\n"_ba << u"UTF-8"_s << false;
  QTest::newRow("UTF-8") << "Л-39,днём\n"_ba << u"UTF-8"_s << false;
  QTest::newRow("Windows-1251") << "\xCB-39,\xE4\xED\xB8\xEC\n"_ba << u"Windows-1251"_s << true;
  QTest::newRow("a stray byte among UTF-8") << "Л,\xFF\n"_ba << u"UTF-8"_s << false;
  // «Пётр» in Windows-1251: «Пё» is also a valid UTF-8 sequence, «тр» is none.
  QTest::newRow("more bad bytes than UTF-8 sequences")
      << "\xCF\xB8\xF2\xF0\n"_ba << u"Windows-1251"_s << true;
  QTest::newRow("overlong form") << "\xC0\xAF\n"_ba << u"Windows-1251"_s << true;
  QTest::newRow("surrogate") << "\xED\xA0\x80\n"_ba << u"Windows-1251"_s << true;
  QTest::newRow("byte order mark") << "\xEF\xBB\xBF\xCB-39\n"_ba << u"UTF-8"_s << false;
  QTest::newRow("a sequence cut by the end of the window") << ascii + "\xD0\x9B\n"
                                                           << u"UTF-8"_s << false;
  QTest::newRow("a sequence cut by the end of the input")
      << "a\xD0"_ba << u"Windows-1251"_s << true;
  QTest::newRow("Windows-1251 beyond the window") << ascii + "x\xCB\n" << u"UTF-8"_s << false;
}

void CsvTest::choosesEncoding() {
  QFETCH(QByteArray, input);
  QFETCH(QString, chosen);
  QFETCH(bool, note);
  for (const qsizetype chunk : {qsizetype{1}, qsizetype{65536}}) {
    QBuffer buffer;
    buffer.setData(input);
    buffer.open(QIODevice::ReadOnly);
    CsvReader reader(buffer, ',', chunk);
    QVERIFY(reader.Next());
    QCOMPARE(meltor::CsvEncodingShown(reader.encoding()), chosen);
    QCOMPARE(reader.utf8(), chosen == u"UTF-8"_s);
    QCOMPARE(!reader.encodingNote().isEmpty(), note);
    if (note) QVERIFY2(reader.encodingNote().contains(chosen), qPrintable(reader.encodingNote()));
  }
}

void CsvTest::detectsDelimiter_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<char>("delimiter");
  QTest::addColumn<Records>("expected");

  QTest::newRow("comma") << "a,b\n1;2,3\n"_ba << ','
                         << Records{{"a"_L1, "b"_L1}, {"1;2"_L1, "3"_L1}};
  QTest::newRow("semicolon after a byte order mark")
      << "\xEF\xBB\xBF\"a\";b\r\n1,5;\"x;y\"\r\n"_ba << ';'
      << Records{{"a"_L1, "b"_L1}, {"1,5"_L1, "x;y"_L1}};
  QTest::newRow("tab") << "a\tb\n1,2\t3;4\n"_ba << '\t'
                       << Records{{"a"_L1, "b"_L1}, {"1,2"_L1, "3;4"_L1}};
  QTest::newRow("quoted candidates are text")
      << "\"a,\tb\";c,d\n1;2\n"_ba << ';' << Records{{"a,\tb"_L1, "c,d"_L1}, {"1"_L1, "2"_L1}};
  QTest::newRow("one column: commas after it")
      << "\n\"a;b\"\n1,2\n"_ba << ',' << Records{{"a;b"_L1}, {"1"_L1, "2"_L1}};
  // The delimiter that gives the header the most fields, not the first one met.
  QTest::newRow("a comma in the corner cell of a ';' file")
      << u"Нн \\ Нв, м;100;200\r\n0;5,5;10\r\n"_s.toUtf8() << ';'
      << Records{{u"Нн \\ Нв, м"_s, "100"_L1, "200"_L1}, {"0"_L1, "5,5"_L1, "10"_L1}};
  QTest::newRow("tie: semicolon before comma")
      << "a,b;c\n"_ba << ';' << Records{{"a,b"_L1, "c"_L1}};
  QTest::newRow("tie: comma before tab") << "a\tb,c\n"_ba << ',' << Records{{"a\tb"_L1, "c"_L1}};
  QTest::newRow("tabs by count") << "a\tb\tc,d\n"_ba << '\t' << Records{{"a"_L1, "b"_L1, "c,d"_L1}};
  QTest::newRow("a blank row before the header")
      << u";;\r\nа;б\r\n"_s.toUtf8() << ';' << Records{{u"а"_s, u"б"_s}};
}

void CsvTest::detectsDelimiter() {
  QFETCH(QByteArray, input);
  QFETCH(char, delimiter);
  QFETCH(Records, expected);
  for (const qsizetype chunk : {qsizetype{1}, qsizetype{65536}}) {
    QBuffer buffer;
    buffer.setData(input);
    buffer.open(QIODevice::ReadOnly);
    CsvReader reader(buffer, std::nullopt, chunk);
    Records records;
    while (auto record = reader.Next()) records << *record;
    QVERIFY(!reader.error());
    QCOMPARE(records, expected);
    QCOMPARE(reader.delimiter(), delimiter);
    QVERIFY(reader.delimiterFound());
  }
}

void CsvTest::writes_data() {
  QTest::addColumn<QStringList>("fields");
  QTest::addColumn<QByteArray>("expected");
  QTest::newRow("plain") << QStringList{"a"_L1, "1.30"_L1, u"ПМУ"_s} << u"a,1.30,ПМУ\n"_s.toUtf8();
  QTest::newRow("blanks stay unquoted") << QStringList{" a b "_L1} << " a b \n"_ba;
  QTest::newRow("delimiter quoted") << QStringList{"a,b"_L1, "c"_L1} << "\"a,b\",c\n"_ba;
  QTest::newRow("quote doubled") << QStringList{"say \"hi\""_L1} << "\"say \"\"hi\"\"\"\n"_ba;
  QTest::newRow("line breaks quoted")
      << QStringList{"a\nb"_L1, "c\r"_L1} << "\"a\nb\",\"c\r\"\n"_ba;
  QTest::newRow("empty fields") << QStringList{""_L1, ""_L1} << "\"\",\n"_ba;
  QTest::newRow("a lone empty field") << QStringList{""_L1} << "\"\"\n"_ba;
  QTest::newRow("blanks alone") << QStringList{" "_L1, "\t"_L1} << "\" \",\t\n"_ba;
  QTest::newRow("some text: no quotes") << QStringList{""_L1, "a"_L1} << ",a\n"_ba;
}

void CsvTest::writes() {
  QFETCH(QStringList, fields);
  QFETCH(QByteArray, expected);
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  CsvWriter(buffer).Write(fields);
  QCOMPARE(buffer.data(), expected);
}

void CsvTest::roundTrip() {
  const Records records = {
      {"type"_L1, "error"_L1},
      {u"Л-39"_s, u"Тип «x,\"y\"»\nнет"_s},
      {""_L1},
      {""_L1, ""_L1},
      {"\r\n"_L1, "\"\""_L1},
      {"end"_L1, " "_L1},
      {" "_L1, "\t"_L1},
      {" \"a\""_L1, "b"_L1},
  };
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  CsvWriter writer(buffer);
  for (const QStringList& r : records) writer.Write(r);
  buffer.close();
  const ReadResult r = ReadAll(buffer.data(), 1);
  QCOMPARE(r.errorLine, 0);
  QCOMPARE(r.records, records);
}

void CsvTest::defusesFormulas_data() {
  QTest::addColumn<QString>("cell");
  QTest::addColumn<QString>("shown");
  for (const char* same : {"", "L-39", "-100", "+5", "1,5", "-1.5e3", ".5", "a=b", "'=x"}) {
    QTest::newRow(same) << QString::fromLatin1(same) << QString::fromLatin1(same);
  }
  for (const char* formula : {"=HYPERLINK(\"x\")", "+cmd|' /C calc'!A0", "@SUM(A1)", "-2+3", "-",
                              "+", "-1e", "\t=1", "\r=1", "-1,5,5"}) {
    QTest::newRow(formula) << QString::fromLatin1(formula) << u"'"_s + QString::fromLatin1(formula);
  }
}

void CsvTest::defusesFormulas() {
  QFETCH(QString, cell);
  QFETCH(QString, shown);
  QCOMPARE(meltor::DefusedCell(cell), shown);
}

QTEST_APPLESS_MAIN(CsvTest)
#include "tst_csv.moc"
