// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The journal at the main window: «Записать в журнал…» (Ctrl+S) saves the flight just calculated,
// «Журнал полётов» (Ctrl+J) opens the journal window, and a flight opened from that window comes
// back into the main window's fields to be corrected and saved over its entry. The main window
// hooks it in with a few lines and tells it what it needs through Hooks; the fields are reached
// by their object names, the names the tests and the layout use.

#include "calculation.h"
#include "flight.h"
#include "journal.h"
#include "journal_prompts.h"
#include "journal_session.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QWidget;

namespace meltor {

class JournalWindow;

// The SHA-256 of the tables file, worked out again only when the file has changed (another path,
// size, modification or status-change time), not at every calculation or save.
class TablesFingerprint {
 public:
  journal::Result<QString> Of(const QString& path);
  // How many times the file was read whole (for the tests).
  int hashes() const { return hashes_; }

 private:
  struct Stamp {
    QString path;
    qint64 size = -1;
    QDateTime modified;
    QDateTime changed;
    bool operator==(const Stamp&) const = default;
  };
  std::optional<Stamp> stamp_;
  std::optional<journal::Result<QString>> sha_;
  int hashes_ = 0;
};

// Puts the inputs of a flight into the main window's fields (cboTyp … txtHpol, optDSMU,
// optNSMU) as if typed; false when the window has not all of them.
bool PutFlight(QWidget& window, const FlightInput& input);

// The flight in one line, for the save dialog: "Л-39, днём, 1:00 — в закр. кабине -, …".
QString FlightSummary(const FlightInput& input, const ResultTexts& results);

class JournalDesk final : public QObject {
  Q_OBJECT

 public:
  struct Settings {
    QString tablesPath;                 // empty: the program's own tables file
    QString journalPath;                // empty: journal::DefaultJournalPath()
    JournalPrompts* prompts = nullptr;  // null: the program's dialogs
  };
  struct Hooks {
    std::function<FlightInput()> input;  // the fields as they are
    // The last calculation while its results are shown and current; null before the first or
    // once a field has changed after it.
    std::function<const CalcOutcome*()> current;
    // A line in the main window's status corner.
    std::function<void(const QString&)> note;
  };

  JournalDesk(QWidget& window, Settings settings, Hooks hooks);
  ~JournalDesk() override;

  // Adds «Записать в журнал…» and «Журнал полётов» to the results' menu.
  void AddTo(QMenu& menu);
  // The main window calculated: which tables file the results came from.
  void Calculated();

  // Ctrl+S: asks the details and saves the current flight.
  void Save();
  // Ctrl+J: the journal window, opened or brought forward.
  void ShowJournal();
  // Entry `number` into the main window's fields, calculated, to be saved over the entry.
  void Open(qint64 number);

  // The entry the main window's flight was opened from.
  std::optional<qint64> editing() const { return editing_; }
  JournalSession& session() { return session_; }
  const TablesFingerprint& fingerprint() const { return fingerprint_; }
  // The journal window once opened.
  JournalWindow* journalWindow() const { return window_.get(); }

 private:
  void EndEditing();
  bool Saveable(const CalcOutcome* outcome);

  QWidget& main_;
  Settings settings_;
  Hooks hooks_;
  DialogPrompts dialogs_;
  JournalPrompts& prompts_;
  JournalSession session_;
  TablesFingerprint fingerprint_;
  std::optional<journal::Result<QString>> calculatedSha_;  // of the last calculation's tables
  std::unique_ptr<JournalWindow> window_;
  QString title_;  // the main window's own title
  std::optional<qint64> editing_;
  EntryDetails editingDetails_;
  QString editingWhat_;  // the entry as it was, for the save dialog
};

}  // namespace meltor
