// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "picture_output.h"

#include "flight_picture.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

// The handler Qt had before QuietRuntimeNote: a message handler reaches no state but a global.
QtMessageHandler qtHandler = nullptr;

// Qt's note that it made itself a runtime folder (no session, as over ssh or in a script) is
// not the user's business; everything else Qt says passes on.
void QuietRuntimeNote(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith(u"QStandardPaths:"_s)) return;
  if (qtHandler) qtHandler(type, context, text);
}

}  // namespace

std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv, bool drawsText) {
  if (!drawsText) return std::make_unique<QCoreApplication>(argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qtHandler = qInstallMessageHandler(QuietRuntimeNote);
  return std::make_unique<QGuiApplication>(argc, argv);
}

bool WritePicture(const CalcOutcome& outcome, const QString& path, QString* error) {
  QString why;
  if (SaveFlightPicture(outcome, path, &why)) return true;
  if (error) *error = u"рисунок "_s + why;
  return false;
}

bool WriteRowPicture(const QString& dir, qint64 row, const CalcOutcome* outcome,
                     const QString& error, files::DeferredSync& later, QString* failure) {
  if (!QDir().mkpath(dir)) {
    if (failure) {
      *failure = QFileInfo::exists(dir) ? u"--pictures: «%1» — не папка"_s.arg(dir)
                                        : u"--pictures: не удалось создать папку «%1»"_s.arg(dir);
    }
    return false;
  }
  CalcOutcome stopped;
  if (!outcome) {
    ClearResults(stopped.labels);
    stopped.error = CalcError(ErrorKind::Conversion, Field::None, error);
  }
  files::FileWriter file(QDir(dir).filePath(u"%1.svg"_s.arg(row)), &later);
  if (file.Open() && file.write(FlightPictureSvg(outcome ? *outcome : stopped)) >= 0 &&
      file.Commit()) {
    return true;
  }
  if (failure) *failure = u"рисунок "_s + file.failure();
  return false;
}

QString EarlierPictures(const QString& dir, qint64 rows) {
  qint64 count = 0;
  qint64 first = 0;
  qint64 last = 0;
  static const QRegularExpression kRowPicture(u"^[1-9][0-9]{0,17}\\.svg$"_s);
  for (const QString& name : QDir(dir).entryList({u"*.svg"_s}, QDir::Files | QDir::System)) {
    if (!kRowPicture.match(name).hasMatch()) continue;
    const qint64 row = name.chopped(4).toLongLong();
    if (row <= rows) continue;
    first = count == 0 ? row : std::min(first, row);
    last = std::max(last, row);
    ++count;
  }
  if (count == 0) return {};
  const QString which =
      count == 1 ? u"%1.svg"_s.arg(first)
                 : u"%1.svg … %2.svg, всего %3"_s.arg(QString::number(first), QString::number(last),
                                                      QString::number(count));
  return u"в папке «%1» есть рисунки, которых этот запуск не писал: %2 — они остались от прежнего "
         u"запуска, в котором строк было больше, и к этим строкам не относятся"_s.arg(dir, which);
}

}  // namespace meltor::cli
