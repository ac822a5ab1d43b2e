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
  QList<int> lines;  // the line each record starts on
  int errorLine = 0;
};

ReadResult ReadAll(const QByteArray& bytes, qsizetype chunkSize) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  CsvReader reader(buffer, ',', chunkSize);
  ReadResult result;
  while (auto record = reader.Next()) {
    result.records << *record;
    result.lines << reader.recordLine();
  }
  if (reader.error()) result.errorLine = reader.error()->line;
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
};

void CsvTest::reads_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<Records>("expected");
  QTest::addColumn<int>("errorLine");  // 0: no error

  QTest::newRow("two records, LF")
      << "a,b\n1,2\n"_ba << Records{{"a"_L1, "b"_L1}, {"1"_L1, "2"_L1}} << 0;
  QTest::newRow("CRLF") << "a,b\r\n1,2\r\n"_ba << Records{{"a"_L1, "b"_L1}, {"1"_L1, "2"_L1}} << 0;
  QTest::newRow("no final line break")
      << "a,b\n1,2"_ba << Records{{"a"_L1, "b"_L1}, {"1"_L1, "2"_L1}} << 0;
  QTest::newRow("CR alone ends a line") << "a\rb\r"_ba << Records{{"a"_L1}, {"b"_L1}} << 0;
  QTest::newRow("empty fields") << ",,\n"_ba << Records{{""_L1, ""_L1, ""_L1}} << 0;
  QTest::newRow("trailing delimiter")
      << "a,\nb,"_ba << Records{{"a"_L1, ""_L1}, {"b"_L1, ""_L1}} << 0;
  QTest::newRow("blanks belong to the field") << " a , b\n"_ba << Records{{" a "_L1, " b"_L1}} << 0;
  QTest::newRow("quoted delimiter") << "\"a,b\",c\n"_ba << Records{{"a,b"_L1, "c"_L1}} << 0;
  QTest::newRow("doubled quotes") << "\"say \"\"hi\"\"\"\n"_ba << Records{{"say \"hi\""_L1}} << 0;
  QTest::newRow("quoted line breaks kept")
      << "\"1\n2\",\"3\r\n4\"\nx\n"_ba << Records{{"1\n2"_L1, "3\r\n4"_L1}, {"x"_L1}} << 0;
  QTest::newRow("empty quoted field")
      << "\"\"\n\"\",a\n"_ba << Records{{""_L1}, {""_L1, "a"_L1}} << 0;
  QTest::newRow("empty lines are no records")
      << "\na\n\r\n\nb\n\n"_ba << Records{{"a"_L1}, {"b"_L1}} << 0;
  QTest::newRow("empty input") << ""_ba << Records{} << 0;
  QTest::newRow("byte order mark skipped")
      << "\xEF\xBB\xBFtype\nL-39\n"_ba << Records{{"type"_L1}, {"L-39"_L1}} << 0;
  QTest::newRow("byte order mark later is text")
      << "a\n\xEF\xBB\xBF\n"_ba << Records{{"a"_L1}, {u"\uFEFF"_s}} << 0;
  QTest::newRow("Cyrillic") << "Л-39,днём\n"_ba << Records{{u"Л-39"_s, u"днём"_s}} << 0;

  QTest::newRow("unterminated quote, line it opens")
      << "x\ny,\"abc\nd\n"_ba << Records{{"x"_L1}} << 2;
  QTest::newRow("text after closing quote") << "a\n\"b\"c,d\n"_ba << Records{{"a"_L1}} << 2;
  QTest::newRow("quote inside unquoted field") << "ab\"c\n"_ba << Records{} << 1;
  QTest::newRow("not UTF-8") << "a\nb\xFF\n"_ba << Records{{"a"_L1}} << 2;
  QTest::newRow("line count passes quoted breaks")
      << "\"a\nb\"\n\"c\"x\n"_ba << Records{{"a\nb"_L1}} << 3;
}

void CsvTest::reads() {
  QFETCH(QByteArray, input);
  QFETCH(Records, expected);
  QFETCH(int, errorLine);
  // Pieces of one, two and three bytes split every CRLF, doubled quote and UTF-8 sequence.
  for (const qsizetype chunk : {qsizetype{1}, qsizetype{2}, qsizetype{3}, qsizetype{65536}}) {
    const ReadResult r = ReadAll(input, chunk);
    QVERIFY2(r.records == expected, qPrintable(u"chunk %1"_s.arg(chunk)));
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

QTEST_APPLESS_MAIN(CsvTest)
#include "tst_cli_csv.moc"
