// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The CSV reader and writer of meltor-cli: quoting, line breaks, faults, and input that arrives
// in pieces of any size.

#include "csv.h"

#include <QBuffer>
#include <QTest>

using namespace Qt::StringLiterals;
using meltor::cli::CsvReader;
using meltor::cli::CsvWriter;

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
  if (!encoding.isEmpty() && !reader.SetEncoding(encoding)) return {};
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
  QTest::addColumn<QString>("encoding");   // empty: UTF-8

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
  QTest::newRow("empty fields") << ",,\n"_ba << Records{{""_L1, ""_L1, ""_L1}} << QList<int>{} << 0
                                << QString();
  QTest::newRow("trailing delimiter")
      << "a,\nb,"_ba << Records{{"a"_L1, ""_L1}, {"b"_L1, ""_L1}} << QList<int>{} << 0 << QString();
  QTest::newRow("blanks belong to the field")
      << " a , b\n"_ba << Records{{" a "_L1, " b"_L1}} << QList<int>{} << 0 << QString();
  QTest::newRow("quoted delimiter")
      << "\"a,b\",c\n"_ba << Records{{"a,b"_L1, "c"_L1}} << QList<int>{} << 0 << QString();
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
  QTest::newRow("not UTF-8") << "a\nb\xFF,c\nd\n"_ba
                             << Records{{"a"_L1}, {u"b\uFFFD"_s, "c"_L1}, {"d"_L1}} << QList<int>{2}
                             << 0 << QString();
  QTest::newRow("NUL byte") << "a\0b\nc\n"_ba << Records{{u"a\uFFFDb"_s}, {"c"_L1}} << QList<int>{1}
                            << 0 << QString();
  QTest::newRow("line count passes quoted breaks")
      << "\"a\nb\"\n\"c\"x\n"_ba << Records{{"a\nb"_L1}, {"cx"_L1}} << QList<int>{3} << 0
      << QString();
  QTest::newRow("Windows-1251") << "\xCB-39,\xE4\xED\xB8\xEC\n"_ba
                                << Records{{u"Л-39"_s, u"днём"_s}} << none << 0
                                << u"windows-1251"_s;
  QTest::newRow("UTF-8 named") << "\xD0\x9B\n"_ba << Records{{u"Л"_s}} << none << 0 << u"UTF-8"_s;

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
  const ReadResult r = ReadAll("h\n\n\"a\nb\"\n\nc\n"_ba, 2);
  QCOMPARE(r.records.size(), 3);
  QCOMPARE(r.lines, (QList<int>{1, 3, 6}));
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
  QTest::newRow("empty fields") << QStringList{""_L1, ""_L1} << ",\n"_ba;
  QTest::newRow("a lone empty field") << QStringList{""_L1} << "\"\"\n"_ba;
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
  QCOMPARE(meltor::cli::DefusedCell(cell), shown);
}

QTEST_APPLESS_MAIN(CsvTest)
#include "tst_cli_csv.moc"
