// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The journal window's output: the period's flights exported to CSV, saved as PDF and printed.
#include "file_writer.h"
#include "journal_csv.h"
#include "journal_prompts.h"
#include "journal_session.h"
#include "journal_window.h"
#include "logbook_print.h"

#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace meltor {

QString JournalWindow::FileStem() const {
  switch (period_.kind) {
    case PeriodKind::Month:
      return u"журнал-%1"_s.arg(period_.from.toString(u"yyyy-MM"_s));
    case PeriodKind::Quarter:
      return u"журнал-%1-%2кв"_s.arg(period_.from.year()).arg((period_.from.month() + 2) / 3);
    case PeriodKind::Year:
      return u"журнал-%1"_s.arg(period_.from.year());
    case PeriodKind::All:
      return u"журнал"_s;
    case PeriodKind::Range:
      return u"журнал-%1—%2"_s.arg(journal::DateText(period_.from), journal::DateText(period_.to));
  }
  return u"журнал"_s;
}

namespace {

// A name with the extension of its format unless it has one.
QString WithSuffix(const QString& path, const QString& suffix) {
  return QFileInfo(path).suffix().isEmpty() ? path + u'.' + suffix : path;
}

QString ProposedPath(const QString& name) {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return documents.isEmpty() ? name : QDir(documents).filePath(name);
}

}  // namespace

LogbookPrintout JournalWindow::Printout() const {
  return {u"Журнал полётов — %1"_s.arg(PeriodLabel(period_)),
          u"Тип: %1 · журнал %2 · %3"_s.arg(type_.isEmpty() ? u"все"_s : type_,
                                            QDir::toNativeSeparators(session_.path()),
                                            ShownDate(QDate::currentDate())),
          FilterOf(period_, type_), totals_};
}

void JournalWindow::AskExport() {
  const auto choice =
      prompts_.AskFile(this, u"Экспорт журнала в CSV"_s, ProposedPath(FileStem() + u".csv"_s),
                       {u"Таблица для Excel и LibreOffice: «;», UTF-8 с BOM (*.csv)"_s,
                        u"CSV: «,», UTF-8 (*.csv)"_s});
  if (choice) ExportCsv(WithSuffix(choice->path, u"csv"_s), choice->filter == 0);
}

bool JournalWindow::ExportCsv(const QString& path, bool spreadsheet) {
  auto reader = session_.Reader();
  if (!reader) {
    prompts_.ShowError(this, reader.error().message);
    return false;
  }
  files::FileWriter out(path);
  if (!out.Open()) {
    prompts_.ShowError(this, u"Файл CSV %1."_s.arg(out.failure()));
    return false;
  }
  journal::CsvOptions options;
  options.delimiter = spreadsheet ? ';' : ',';
  options.byteOrderMark = spreadsheet;
  const auto written = journal::WriteCsv(**reader, FilterOf(period_, type_), out, options);
  if (!written) {
    out.Discard();
    prompts_.ShowError(this, u"Файл CSV «%1» не записан: %2"_s.arg(path, written.error().message));
    return false;
  }
  if (!out.Commit()) {
    prompts_.ShowError(this, u"Файл CSV %1."_s.arg(out.failure()));
    return false;
  }
  return true;
}

void JournalWindow::AskPdf() {
  const auto choice =
      prompts_.AskFile(this, u"Сохранить журнал в PDF"_s, ProposedPath(FileStem() + u".pdf"_s),
                       {u"Документ PDF (*.pdf)"_s});
  if (choice) SavePdf(WithSuffix(choice->path, u"pdf"_s));
}

bool JournalWindow::SavePdf(const QString& path) {
  files::FileWriter out(path);
  if (!out.Open()) {
    prompts_.ShowError(this, u"Файл PDF %1."_s.arg(out.failure()));
    return false;
  }
  const LogbookPrintout printout = Printout();
  journal::Result<int> pages = [&] {
    QPdfWriter pdf(&out);
    pdf.setTitle(printout.title);
    pdf.setCreator(u"Meltor %1"_s.arg(QStringLiteral(MELTOR_VERSION_TEXT)));
    pdf.setResolution(300);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                  QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
    return PrintLogbook(pdf, session_.Rows(), printout);
  }();
  if (!pages) {
    out.Discard();
    prompts_.ShowError(this, u"Файл PDF «%1» не записан: %2"_s.arg(path, pages.error().message));
    return false;
  }
  if (!out.Commit()) {
    prompts_.ShowError(this, u"Файл PDF %1."_s.arg(out.failure()));
    return false;
  }
  return true;
}

void JournalWindow::Print() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  printer.setDocName(Printout().title);
  QPrintDialog dialog(&printer, this);
  dialog.setWindowTitle(u"Печать журнала"_s);
  if (dialog.exec() != QDialog::Accepted) return;
  const LogbookPrintout printout = Printout();
  if (auto pages = PrintLogbook(printer, session_.Rows(), printout); !pages) {
    prompts_.ShowError(this, u"Журнал не напечатан: %1"_s.arg(pages.error().message));
  }
}

}  // namespace meltor
