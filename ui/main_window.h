// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The main window. The window and its companions (ui/) speak Russian only: their texts are
// Russian literals, as in the rest of the program; Qt's own (context menus, standard buttons)
// come from Qt's Russian translation (startup.h).
//
// Errors in ui/. No exception reaches Qt's event loop, which cannot carry one: a CalcError from
// the rooms below is caught where they are called (Run, CommandLine::Parse) and becomes an
// outcome like any other. The pilot learns of a stopped calculation from a message box
// (MessageSink) that names the field and puts the focus there, and of everything else in place:
// a warning's tint and tooltip on its box or result, the status line, a note over the results.
// Saving a picture answers false and why (flight_picture.h), and the window shows that why.

#include "calculation.h"
#include "errors.h"
#include "flight.h"
#include "results.h"

#include <QLocale>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <QKeySequence>

#include <array>
#include <initializer_list>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

namespace meltor {

class AboutWindow;
class FlightReviewWindow;
class JournalDesk;
class JournalPrompts;
class MessageSink;
class ResultsBoard;

// What the main window takes from its surroundings. The defaults are those of the program; tests
// put in a tables file of their own and a fixed locale.
struct MainWindowSettings {
  // The tables file; empty for FlightTables1.mdb of the program (its own folder, or the data
  // folder of an installed program).
  QString tablesPath;
  // The rules for whole-text numbers (hours, minutes, flight height).
  QLocale locale = QLocale::system();
  // The journal of flights; empty for journal.sqlite in the user's data folder. Its questions are
  // asked in dialogs unless `journalPrompts` takes them.
  QString journalPath;
  JournalPrompts* journalPrompts = nullptr;
};

// How long the note "copied" stays over the results.
inline constexpr int kCopyNoteMilliseconds = 2000;

// The main window frmSMU: the inputs of one flight, the three buttons and the five results.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(MessageSink& messages, MainWindowSettings settings = {});
  ~MainWindow() override;

  // The texts of the input fields and the day/night choice, as the calculation reads them.
  FlightInput Input() const;

 public slots:
  // Opens «Разбор полёта» on the last calculation (Ctrl+R); it follows the next ones while open.
  void ShowFlightReview();

 protected:
  // Ctrl+C in a text field with nothing selected, and Ctrl+C on any other control, copies the
  // results; with text selected the field copies that text as always.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The control an error about `field` sends the pilot to; null for Field::None.
  QWidget* FieldControl(Field field) const;

  void BuildInputs(QWidget* fraInput);
  void BuildResults();
  // The results' context menu, opened by a right click on either results frame.
  void BuildResultsMenu(std::initializer_list<QWidget*> areas);
  QAction* AddResultsEntry(const QString& text, const QKeySequence& shortcut,
                           void (MainWindow::*run)());
  void SetTabOrder();

  // Enables "Считать" once the weather set or the hood set of fields is filled; never disables.
  void CheckReady();
  // After any change of an input: the results are out of date unless the fields hold again the
  // flight they were calculated for.
  void InputChanged();
  // The button's tooltip and the status line: what «Считать» waits for, or stale results.
  void UpdateStatus();
  void Calculate();
  CalcOutcome Run(const FlightInput& input) const;
  // Copies the results as one tab-separated line and says so in a note that fades by itself.
  void CopyResults();
  // The results' menu opened from the keyboard (Menu key, Shift+F10), its first entry active.
  void OpenResultsMenu();
  void ShowError(const CalcError& error);
  void ShowAbout();
  void Quit();

  MessageSink& messages_;
  MainWindowSettings settings_;
  std::unique_ptr<AboutWindow> about_;
  std::unique_ptr<FlightReviewWindow> review_;
  JournalDesk* journal_ = nullptr;  // «Записать в журнал…» and «Журнал полётов»
  std::optional<CalcOutcome> lastOutcome_;

  QComboBox* cboTyp_ = nullptr;
  QLineEdit* txtTpolChas_ = nullptr;
  QLineEdit* txtTpolMin_ = nullptr;
  QLineEdit* txtBal_ = nullptr;
  QLineEdit* txtHn_ = nullptr;
  QLineEdit* txtHv_ = nullptr;
  QLineEdit* txtVidKm_ = nullptr;
  QLineEdit* txtVidSm_ = nullptr;
  QRadioButton* optDSMU_ = nullptr;
  QRadioButton* optNSMU_ = nullptr;
  QLineEdit* txtShtorkaZ_ = nullptr;
  QLineEdit* txtShtorkaO_ = nullptr;
  QLineEdit* txtHpol_ = nullptr;
  QPushButton* cmdOK_ = nullptr;
  QPushButton* cmdAbout_ = nullptr;
  QPushButton* cmdQuit_ = nullptr;
  QMenu* resultsMenu_ = nullptr;
  QWidget* resultsArea_ = nullptr;  // where the menu opens from the keyboard
  QLabel* lblStatus_ = nullptr;
  std::array<QLabel*, kResultCount> results_{};  // lblZakKab, lblObl, lblZaObl, lblOgrVid, lblSMU
  ResultsBoard* board_ = nullptr;
  // The inputs of the last calculation, to tell whether the results shown are still theirs.
  std::optional<FlightInput> calculated_;
};

}  // namespace meltor
