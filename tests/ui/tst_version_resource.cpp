// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The Windows version resource, compiled with LLVM's resource compiler and read back: the
// numbers and strings the executable will carry.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

namespace {

// A VERSIONINFO string value: the UTF-16 key, padding to 32 bits, the UTF-16 value.
QString StringValue(const QByteArray& res, const QString& key) {
  QByteArray pattern(reinterpret_cast<const char*>(key.utf16()), key.size() * 2);
  pattern.append(2, '\0');
  const qsizetype at = res.indexOf(pattern);
  if (at < 0) return QStringLiteral("<missing>");
  qsizetype pos = at + pattern.size();
  while (pos % 4 != 0) pos += 1;
  QString value;
  for (; pos + 1 < res.size(); pos += 2) {
    const char16_t ch = static_cast<char16_t>(static_cast<unsigned char>(res[pos]) |
                                              (static_cast<unsigned char>(res[pos + 1]) << 8));
    if (ch == 0) break;
    value.append(QChar(ch));
  }
  return value;
}

quint32 Word32(const QByteArray& res, qsizetype pos) {
  quint32 v = 0;
  std::memcpy(&v, res.constData() + pos, sizeof v);  // the file is little-endian, as is x86
  return v;
}

}  // namespace

class TestVersionResource : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    const QString compiler = QStringLiteral(MELTOR_LLVM_RC);
    if (compiler.isEmpty()) QSKIP("no llvm-rc on this machine");
    QVERIFY(dir_.isValid());
    const QString out = dir_.filePath(QStringLiteral("meltor.res"));
    // The resource compiler takes any argument starting with "/" for an option, so an absolute
    // path such as /check/... would be misread: run it in the script's folder with a bare name.
    const QFileInfo script(QStringLiteral(MELTOR_RC_FILE));
    QProcess rc;
    rc.setWorkingDirectory(script.absolutePath());
    rc.start(compiler, {QStringLiteral("/FO"), out, QStringLiteral("--"), script.fileName()});
    QVERIFY(rc.waitForFinished(30000));
    QVERIFY2(rc.exitCode() == 0, rc.readAllStandardError().constData());
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    res_ = file.readAll();
  }

  void fixedVersions() {
    const QByteArray signature("\xBD\x04\xEF\xFE", 4);
    const qsizetype at = res_.indexOf(signature);
    QVERIFY(at >= 0);
    QCOMPARE(Word32(res_, at + 8), 0x00020002u);   // file version 2.2 ...
    QCOMPARE(Word32(res_, at + 12), 0x00000001u);  // ... .0.1
    QCOMPARE(Word32(res_, at + 16), 0x00020002u);  // product version 2.2 ...
    QCOMPARE(Word32(res_, at + 20), 0x00000001u);  // ... .0.1
  }

  void strings_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("FileVersion") << QStringLiteral("FileVersion") << QStringLiteral("2.02.0001");
    QTest::newRow("ProductVersion")
        << QStringLiteral("ProductVersion") << QStringLiteral("2.02.0001");
    QTest::newRow("ProductName, trailing blank")
        << QStringLiteral("ProductName") << QStringLiteral("Meltor ");
    QTest::newRow("InternalName") << QStringLiteral("InternalName") << QStringLiteral("Meltor");
    QTest::newRow("OriginalFilename")
        << QStringLiteral("OriginalFilename") << QStringLiteral("Meltor.exe");
    QTest::newRow("CompanyName") << QStringLiteral("CompanyName") << QStringLiteral("00");
  }
  void strings() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(StringValue(res_, key), value);
  }

 private:
  QTemporaryDir dir_;
  QByteArray res_;
};

QTEST_MAIN(TestVersionResource)
#include "tst_version_resource.moc"
