// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "results_board.h"

#include <QGuiApplication>
#include <QLabel>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

// One paragraph of a tooltip; rich text, so that a long line wraps instead of running off the
// screen, with a little space below it to keep a wrapped line apart from the next.
QString Paragraph(const QString& text, int spaceBelow, bool bold = false) {
  return QStringLiteral("<p style=\"margin:0 0 %1px 0\">%2%3%4</p>")
      .arg(spaceBelow)
      .arg(bold ? QStringLiteral("<b>") : QString(), text.toHtmlEscaped(),
           bold ? QStringLiteral("</b>") : QString());
}

// The tooltip of one result: "heading: value" in bold, the warnings about it, then the path of
// the calculation, a paragraph to a line.
QString ResultToolTip(const QString& heading, const QString& value, const QStringList& warnings,
                      const QStringList& path) {
  QString tip = Paragraph(QStringLiteral("%1: %2").arg(heading, value), 6, true);
  for (const QString& w : warnings) tip += Paragraph(QStringLiteral("⚠ ") + w, 6, true);
  for (const QString& line : path) tip += Paragraph(line, 3);
  return tip;
}

// Said wherever the results shown no longer are those of the fields.
QString StaleNote() {
  return u"Данные изменены — нажмите «Считать»"_s;
}

}  // namespace

QColor WarningTint() {
  return QColor(255, 224, 138);
}

ResultsBoard::ResultsBoard(const std::array<QLabel*, kResultCount>& labels, QObject* parent)
    : QObject(parent), labels_(labels) {
  for (int i = 0; i < kResultCount; ++i) {
    places_[i] = labels_[i]->geometry();
    palettes_[i] = labels_[i]->palette();
  }
}

void ResultsBoard::Clear() {
  ResultTexts texts;
  ClearResults(texts);
  ShowTexts(texts);
  toolTips_ = {};
  warned_ = {};
  copyable_.reset();
  stale_ = false;
  Present();
}

void ResultsBoard::Show(const CalcOutcome& outcome) {
  ShowTexts(outcome.labels);
  shown_ = true;
  toolTips_ = {};
  warned_ = {};
  copyable_.reset();
  if (outcome.ok()) {
    for (int i = 0; i < kResultCount; ++i) {
      QStringList warnings;
      for (const InputWarning& w : outcome.warnings) {
        if (w.result && static_cast<int>(*w.result) == i) warnings << w.message;
      }
      warned_[i] = !warnings.isEmpty();
      toolTips_[i] =
          ResultToolTip(ResultHeadings()[i], outcome.labels.text[i], warnings, outcome.explanation);
    }
    copyable_ = outcome.labels;
  }
  stale_ = false;
  Present();
}

void ResultsBoard::SetStale(bool stale) {
  if (stale == stale_) return;
  stale_ = stale;
  Present();
}

std::optional<QString> ResultsBoard::CopyLine() const {
  if (!copyable_ || stale_) return std::nullopt;
  // One row of a spreadsheet or logbook table: heading, value, heading, value..., no line end.
  QStringList cells;
  for (int i = 0; i < kResultCount; ++i) cells << ResultHeadings()[i] << copyable_->text[i];
  return cells.join(QLatin1Char('\t'));
}

QString ResultsBoard::ClipboardText() const {
  if (const std::optional<QString> line = CopyLine()) return *line;
  if (stale_) return u"Результаты устарели: данные изменены — нажмите «Считать»"_s;
  return shown_ ? u"Нет результатов: расчёт остановлен"_s : u"Нет результатов расчёта"_s;
}

void ResultsBoard::ShowTexts(const ResultTexts& texts) {
  for (int i = 0; i < kResultCount; ++i) {
    QLabel* label = labels_[i];
    label->setText(texts.text[i]);
    // A result wider than its place (a negative time, say) widens the label about its centre
    // rather than losing a character at either end.
    const QRect designed = places_[i];
    const int needed = label->fontMetrics().horizontalAdvance(texts.text[i]) + 2;
    const int width = std::min(std::max(designed.width(), needed), label->parentWidget()->width());
    const int left = std::clamp(designed.left() - (width - designed.width()) / 2, 0,
                                label->parentWidget()->width() - width);
    label->setGeometry(left, designed.top(), width, designed.height());
  }
}

void ResultsBoard::Present() {
  const QString staleNote = StaleNote();
  for (int i = 0; i < kResultCount; ++i) {
    QLabel* label = labels_[i];
    QPalette palette = palettes_[i];
    if (warned_[i]) palette.setColor(QPalette::Window, WarningTint());
    // Greyed while out of date, in the shade the desktop gives text that does not count (the
    // results' own palettes hold their colours for every state).
    if (stale_) {
      palette.setColor(QPalette::WindowText,
                       QGuiApplication::palette().color(QPalette::Disabled, QPalette::WindowText));
    }
    label->setAutoFillBackground(warned_[i]);
    label->setPalette(palette);
    QString tip = toolTips_[i];
    if (stale_) {
      tip = Paragraph(staleNote, 6, true) +
            (tip.isEmpty() ? QString() : Paragraph(u"Показан прошлый расчёт:"_s, 6) + tip);
    }
    label->setToolTip(tip);
    label->setAccessibleDescription(stale_ ? staleNote : QString());
  }
}

}  // namespace meltor
