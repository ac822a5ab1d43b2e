// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The five results of the main window as the pilot reads them: each text at its place, its
// tooltip with the heading and value, any warning about it and the path of the calculation; a
// result a warning is about is marked; and once an input changes after a calculation, all five
// are shown as out of date until the next one.

#include "calculation.h"

#include <QObject>
#include <QPalette>
#include <QRect>
#include <QString>

#include <array>
#include <optional>

class QLabel;

namespace meltor {

// The background of a box or result that a warning is about.
QColor WarningTint();

class ResultsBoard final : public QObject {
  Q_OBJECT

 public:
  // `labels` are laid out already: lblZakKab, lblObl, lblZaObl, lblOgrVid, lblSMU.
  ResultsBoard(const std::array<QLabel*, kResultCount>& labels, QObject* parent);

  // A calculation begins: "-" in every result, no tooltip, no mark.
  void Clear();
  // The results of `outcome`; the tooltips, marks and the line to copy when it succeeded.
  void Show(const CalcOutcome& outcome);

  // Out of date: the inputs no longer are those of the results shown.
  void SetStale(bool stale);
  bool stale() const { return stale_; }

  // What Ctrl+C copies: the five captions with their values, tab-separated; nothing before the
  // first good calculation, after a failed one, or while the results are out of date.
  std::optional<QString> CopyLine() const;
  // What Ctrl+C puts on the clipboard: CopyLine() when there is one, otherwise a line saying why
  // there is none. Never left as it was: a paste must not bring back an earlier flight's numbers.
  QString ClipboardText() const;

 private:
  void ShowTexts(const ResultTexts& texts);
  void Present();

  std::array<QLabel*, kResultCount> labels_;
  std::array<QRect, kResultCount> places_{};     // where each result stands as laid out
  std::array<QPalette, kResultCount> palettes_;  // each result's own colours
  std::array<QString, kResultCount> toolTips_;   // of the results shown, while they are current
  std::array<bool, kResultCount> warned_{};      // a warning is about the result
  std::optional<ResultTexts> copyable_;          // the results of the last good calculation
  bool shown_ = false;                           // a calculation has been shown, good or failed
  bool stale_ = false;
};

}  // namespace meltor
