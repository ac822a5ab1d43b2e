// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "main_window.h"

#include "about_window.h"
#include "climb_tables.h"
#include "field_warnings.h"
#include "flight_review_window.h"
#include "journal_desk.h"
#include "message_sink.h"
#include "profiles.h"
#include "program_icon.h"
#include "readiness.h"
#include "results_board.h"
#include "tables_file.h"
#include "window_controls.h"
#include "window_layout.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QToolTip>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

}  // namespace

MainWindow::MainWindow(MessageSink& messages, MainWindowSettings settings)
    : messages_(messages), settings_(std::move(settings)) {
  setObjectName(QStringLiteral("frmSMU"));
  setWindowTitle(QStringLiteral("Meltor"));
  setWindowIcon(ProgramIcon());
  setFont(WindowFont());
  // The layout is drawn to this size and does not follow the window's.
  setFixedSize(Twips(7500, 3915));

  auto* fraInput =
      Frame(this, QStringLiteral("fraInput"), u"Ввод данных"_s, Twips(120, 120, 7215, 2295));
  BuildInputs(fraInput);
  BuildResults();
  SetTabOrder();
  journal_ = new JournalDesk(
      *this, {settings_.tablesPath, settings_.journalPath, settings_.journalPrompts},
      {[this] { return Input(); },
       [this] { return lastOutcome_ && !board_->stale() ? &*lastOutcome_ : nullptr; },
       [this](const QString& note) { lblStatus_->setText(note); }});
  journal_->AddTo(*resultsMenu_);

  // The type list: six entries in this order, none chosen, the field left empty. Typed text
  // stays in the field and never becomes an entry.
  cboTyp_->addItems(AircraftTypeEntries());
  cboTyp_->setCurrentIndex(-1);
  cboTyp_->setEditText(QString());

  // Only typing in the type field counts as a change: choosing from the list sets the text
  // without textEdited. Hv and VidSm belong to neither set and are not watched.
  connect(cboTyp_->lineEdit(), &QLineEdit::textEdited, this, &MainWindow::CheckReady);
  for (QLineEdit* box : {txtTpolChas_, txtTpolMin_, txtBal_, txtHn_, txtVidKm_, txtHpol_,
                         txtShtorkaZ_, txtShtorkaO_}) {
    connect(box, &QLineEdit::textChanged, this, &MainWindow::CheckReady);
  }
  connect(optDSMU_, &QRadioButton::clicked, this, &MainWindow::CheckReady);
  connect(optNSMU_, &QRadioButton::clicked, this, &MainWindow::CheckReady);
  // Any change at all, the list's choice and Hv and VidSm included, may leave the results out of
  // date and changes what the status line says.
  for (QLineEdit* box : findChildren<QLineEdit*>()) {
    if (box != cboTyp_->lineEdit())
      connect(box, &QLineEdit::textChanged, this, &MainWindow::InputChanged);
  }
  connect(cboTyp_, &QComboBox::editTextChanged, this, &MainWindow::InputChanged);
  connect(optDSMU_, &QRadioButton::toggled, this, &MainWindow::InputChanged);
  connect(optNSMU_, &QRadioButton::toggled, this, &MainWindow::InputChanged);

  // The text fields are asked first about Ctrl+C; the type field, not its inner line edit, is
  // the one that receives the keys.
  const std::array<QWidget*, 11> fields = {cboTyp_,      txtTpolChas_, txtTpolMin_, txtBal_,
                                           txtHn_,       txtHv_,       txtVidKm_,   txtVidSm_,
                                           txtShtorkaZ_, txtShtorkaO_, txtHpol_};
  for (QWidget* field : fields) field->installEventFilter(this);

  connect(cmdOK_, &QPushButton::clicked, this, &MainWindow::Calculate);
  connect(cmdAbout_, &QPushButton::clicked, this, &MainWindow::ShowAbout);
  connect(cmdQuit_, &QPushButton::clicked, this, &MainWindow::Quit);
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this), &QShortcut::activated, this,
          &MainWindow::ShowFlightReview);
  // The results' menu from the keyboard, wherever the focus is.
  for (const QKeySequence& keys :
       {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)})
    connect(new QShortcut(keys, this), &QShortcut::activated, this, &MainWindow::OpenResultsMenu);

  UpdateStatus();
  cboTyp_->setFocus(Qt::OtherFocusReason);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildInputs(QWidget* fraInput) {
  // First row of frames.
  auto* fraTyp =
      Frame(fraInput, QStringLiteral("fraTyp"), u" Тип самолёта"_s, Twips(120, 240, 1335, 855));
  cboTyp_ = new QComboBox(fraTyp);
  cboTyp_->setObjectName(QStringLiteral("cboTyp"));
  cboTyp_->setEditable(true);
  cboTyp_->setInsertPolicy(QComboBox::NoInsert);
  cboTyp_->setCompleter(nullptr);  // the field holds exactly what was typed
  cboTyp_->setAccessibleName(FieldCaption(Field::Typ));
  cboTyp_->setGeometry(Twips(120, 345, 1095, 330));

  auto* fraTime =
      Frame(fraInput, QStringLiteral("fraTime"), u"Время п-та"_s, Twips(1440, 240, 1095, 855));
  StaticLabel(fraTime, QStringLiteral("lblTime"), u"  ч    мин"_s, Twips(60, 240, 975, 210),
              Qt::AlignCenter);
  txtTpolChas_ = TextBox(fraTime, QStringLiteral("txtTpolChas"), Twips(120, 465, 405, 300),
                         Field::TpolChas, QStringLiteral("0"));
  txtTpolMin_ =
      TextBox(fraTime, QStringLiteral("txtTpolMin"), Twips(570, 465, 405, 300), Field::TpolMin);

  auto* fraObl =
      Frame(fraInput, QStringLiteral("fraObl"), u"Облачность, м"_s, Twips(2520, 240, 2055, 855));
  StaticLabel(fraObl, QStringLiteral("lblOblHar"), u"баллов    Нн         Нв"_s,
              Twips(120, 240, 1860, 210));
  txtBal_ = TextBox(fraObl, QStringLiteral("txtBal"), Twips(120, 465, 540, 300), Field::Bal);
  txtHn_ = TextBox(fraObl, QStringLiteral("txtHn"), Twips(750, 465, 555, 300), Field::Hn);
  txtHv_ = TextBox(fraObl, QStringLiteral("txtHv"), Twips(1395, 465, 555, 300), Field::Hv);

  auto* visibilityFrame =
      Frame(fraInput, QStringLiteral("Frame1"), u"Видимость,км"_s, Twips(4560, 240, 1335, 855));
  txtVidKm_ =
      TextBox(visibilityFrame, QStringLiteral("txtVidKm"), Twips(120, 465, 495, 300), Field::VidKm);
  auto* commaLabel = StaticLabel(visibilityFrame, QStringLiteral("Label1"), QStringLiteral(","),
                                 Twips(615, 375, 105, 405), Qt::AlignCenter);
  commaLabel->setFont(ResultFont(true));
  txtVidSm_ =
      TextBox(visibilityFrame, QStringLiteral("txtVidSm"), Twips(720, 465, 495, 300), Field::VidSm);

  auto* dayNightFrame =
      Frame(fraInput, QStringLiteral("Frame2"), u"   Полёты"_s, Twips(5880, 240, 1215, 855));
  optDSMU_ = OptionButton(dayNightFrame, QStringLiteral("optDSMU"), u"днём"_s, u"Полёты днём"_s,
                          Twips(120, 240, 1020, 270));
  optNSMU_ = OptionButton(dayNightFrame, QStringLiteral("optNSMU"), u"ночью"_s, u"Полёты ночью"_s,
                          Twips(120, 525, 1020, 270));

  // Second row.
  auto* hoodFrame = Frame(fraInput, QStringLiteral("Frame3"), u"Использование шторки"_s,
                          Twips(120, 1200, 2415, 975));
  txtShtorkaZ_ =
      TextBox(hoodFrame, QStringLiteral("txtShtorkaZ"), Twips(90, 270, 540, 300), Field::ShtorkaZ);
  StaticLabel(hoodFrame, QStringLiteral("Label2"), u"высота закрытия, м"_s,
              Twips(660, 270, 1725, 300));
  txtShtorkaO_ =
      TextBox(hoodFrame, QStringLiteral("txtShtorkaO"), Twips(90, 615, 540, 300), Field::ShtorkaO);
  StaticLabel(hoodFrame, QStringLiteral("Label3"), u"высота открытия, м"_s,
              Twips(660, 615, 1725, 300));

  auto* fraHpol =
      Frame(fraInput, QStringLiteral("fraHpol"), u"Высота п-та, м"_s, Twips(2640, 1200, 1335, 975));
  txtHpol_ = TextBox(fraHpol, QStringLiteral("txtHpol"), Twips(120, 435, 1095, 300), Field::Hpol);

  cmdOK_ =
      CommandButton(fraInput, QStringLiteral("cmdOK"), u"Считать"_s, Twips(6120, 1200, 975, 375));
  cmdOK_->setEnabled(false);
  cmdAbout_ = CommandButton(fraInput, QStringLiteral("cmdAbout"), u"Справка"_s,
                            Twips(4320, 1800, 975, 375));
  cmdQuit_ =
      CommandButton(fraInput, QStringLiteral("cmdQuit"), u"Выход"_s, Twips(6120, 1800, 975, 375));
}

void MainWindow::BuildResults() {
  auto* logbookFrame = Frame(this, QStringLiteral("Frame5"), u"Записать в лётную книжку"_s,
                             Twips(120, 2520, 3975, 1215));
  auto* totalFrame =
      Frame(this, QStringLiteral("Frame6"), u"Всего в СМУ"_s, Twips(4200, 2520, 1335, 1215));

  const auto& headings = ResultHeadings();
  // Each heading is centred over its result; the last one wraps onto two lines and so starts a
  // line higher.
  StaticLabel(logbookFrame, QStringLiteral("Label4"), headings[0], Twips(30, 300, 1275, 225),
              Qt::AlignCenter);
  StaticLabel(logbookFrame, QStringLiteral("Label5"), headings[1], Twips(1380, 300, 735, 225),
              Qt::AlignCenter);
  StaticLabel(logbookFrame, QStringLiteral("Label6"), headings[2], Twips(2220, 300, 735, 225),
              Qt::AlignCenter);
  auto* ogrVidHeading = StaticLabel(logbookFrame, QStringLiteral("Label7"), headings[3],
                                    Twips(2925, 90, 990, 435), Qt::AlignHCenter | Qt::AlignBottom);
  ogrVidHeading->setWordWrap(true);

  const std::array<const char16_t*, kResultCount> names = {u"lblZakKab", u"lblObl", u"lblZaObl",
                                                           u"lblOgrVid", u"lblSMU"};
  const std::array<int, 4> lefts = {360, 1440, 2280, 3120};
  for (int i = 0; i < kResultCount; ++i) {
    QWidget* frame = i < 4 ? logbookFrame : totalFrame;
    const int left = i < 4 ? lefts[i] : 360;
    QLabel* label = StaticLabel(frame, QString::fromUtf16(names[i]), {}, Twips(left, 720, 615, 375),
                                Qt::AlignCenter);
    label->setFont(ResultFont(false));
    label->setAccessibleName(headings[i]);
    results_[i] = label;
  }
  SetTextColour(results_[static_cast<int>(ResultLabel::ZaObl)], QColor(0, 0, 0));
  SetTextColour(results_[static_cast<int>(ResultLabel::SMU)], QColor(255, 0, 0));
  board_ = new ResultsBoard(results_, this);

  // What «Считать» still waits for, or that the results are out of date: in the free corner.
  lblStatus_ = StaticLabel(this, QStringLiteral("lblStatus"), {}, Twips(5610, 2580, 1800, 1275),
                           Qt::AlignLeft | Qt::AlignTop);
  lblStatus_->setWordWrap(true);

  resultsArea_ = logbookFrame;
  BuildResultsMenu({logbookFrame, totalFrame});
}

void MainWindow::BuildResultsMenu(std::initializer_list<QWidget*> areas) {
  resultsMenu_ = new QMenu(this);
  resultsMenu_->setObjectName(QStringLiteral("mnuResults"));
  QAction* copy =
      AddResultsEntry(u"Копировать результаты"_s, QKeySequence::Copy, &MainWindow::CopyResults);
  // The review shows a failed calculation too, and an empty one before the first.
  AddResultsEntry(u"Разбор полёта"_s, QKeySequence(Qt::CTRL | Qt::Key_R),
                  &MainWindow::ShowFlightReview);
  // Copying works on the results of the last calculation, only on good ones that are current.
  connect(resultsMenu_, &QMenu::aboutToShow, this, [this, copy] {
    copy->setEnabled(board_->CopyLine().has_value());
    copy->setText(board_->stale() ? u"Копировать результаты (устарели)"_s
                                  : u"Копировать результаты"_s);
  });
  // A right click anywhere on the results, the labels included, opens the menu.
  for (QWidget* area : areas) {
    area->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(area, &QWidget::customContextMenuRequested, this,
            [this, area](const QPoint& at) { resultsMenu_->popup(area->mapToGlobal(at)); });
  }
}

QAction* MainWindow::AddResultsEntry(const QString& text, const QKeySequence& shortcut,
                                     void (MainWindow::*run)()) {
  QAction* entry = resultsMenu_->addAction(text, shortcut, this, run);
  // The shortcut is shown, and works while the menu is open; elsewhere the window handles the
  // keys itself.
  entry->setShortcutContext(Qt::WidgetShortcut);
  entry->setShortcutVisibleInContextMenu(true);
  return entry;
}

void MainWindow::SetTabOrder() {
  const std::array<QWidget*, 16> order = {
      cboTyp_,  txtTpolChas_, txtTpolMin_,  txtBal_,      txtHn_, txtHv_,   txtVidKm_, txtVidSm_,
      optDSMU_, optNSMU_,     txtShtorkaZ_, txtShtorkaO_, cmdOK_, cmdQuit_, txtHpol_,  cmdAbout_};
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

FlightInput MainWindow::Input() const {
  FlightInput in;
  in.txtHpol = txtHpol_->text();
  in.txtTpolChas = txtTpolChas_->text();
  in.txtTpolMin = txtTpolMin_->text();
  in.txtBal = txtBal_->text();
  in.txtHn = txtHn_->text();
  in.txtHv = txtHv_->text();
  in.txtVidKm = txtVidKm_->text();
  in.txtVidSm = txtVidSm_->text();
  in.txtShtorkaZ = txtShtorkaZ_->text();
  in.txtShtorkaO = txtShtorkaO_->text();
  in.cboTyp = cboTyp_->currentText();
  in.dayNight = optDSMU_->isChecked()   ? DayNight::Day
                : optNSMU_->isChecked() ? DayNight::Night
                                        : DayNight::None;
  return in;
}

QWidget* MainWindow::FieldControl(Field field) const {
  switch (field) {
    case Field::Typ:
      return cboTyp_;
    case Field::TpolChas:
      return txtTpolChas_;
    case Field::TpolMin:
      return txtTpolMin_;
    case Field::Bal:
      return txtBal_;
    case Field::Hn:
      return txtHn_;
    case Field::Hv:
      return txtHv_;
    case Field::VidKm:
      return txtVidKm_;
    case Field::VidSm:
      return txtVidSm_;
    case Field::DayNight:
      return optNSMU_->isChecked() ? optNSMU_ : optDSMU_;
    case Field::ShtorkaZ:
      return txtShtorkaZ_;
    case Field::ShtorkaO:
      return txtShtorkaO_;
    case Field::Hpol:
      return txtHpol_;
    case Field::None:
      break;
  }
  return nullptr;
}

void MainWindow::CheckReady() {
  // Every field is read before anything is tested. A field is filled when its text is not empty:
  // blanks and letters count.
  const FlightInput in = Input();
  const bool common = !in.cboTyp.isEmpty() && !in.txtTpolChas.isEmpty() && !in.txtTpolMin.isEmpty();
  const bool weather = common && !in.txtBal.isEmpty() && !in.txtHn.isEmpty() &&
                       !in.txtVidKm.isEmpty() && !in.txtHpol.isEmpty() &&
                       in.dayNight != DayNight::None;
  const bool hood = common && !in.txtShtorkaZ.isEmpty() && !in.txtShtorkaO.isEmpty();
  if (weather || hood) cmdOK_->setEnabled(true);
  UpdateStatus();
}

void MainWindow::InputChanged() {
  const bool stale = calculated_ && Input() != *calculated_;
  board_->SetStale(stale);
  if (review_) review_->SetStale(stale);
  UpdateStatus();
}

void MainWindow::UpdateStatus() {
  const Readiness readiness(Input());
  const bool enabled = cmdOK_->isEnabled();
  cmdOK_->setToolTip(readiness.ToolTip(enabled));
  cmdOK_->setAccessibleDescription(readiness.ToolTip(enabled));
  lblStatus_->setText(!enabled ? readiness.Status(enabled)
                      : board_->stale() ? u"Данные изменены — нажмите «Считать»."_s
                                        : QString());
}

void MainWindow::Calculate() {
  board_->Clear();
  const FlightInput input = Input();
  const CalcOutcome outcome = Run(input);
  calculated_ = input;
  ShowFieldWarnings(*this, outcome,
                    [this](Field f) { return qobject_cast<QLineEdit*>(FieldControl(f)); });
  lastOutcome_ = outcome;
  journal_->Calculated();
  if (review_ && review_->isVisible()) review_->ShowOutcome(outcome);
  board_->Show(outcome);
  UpdateStatus();
  if (outcome.error) ShowError(*outcome.error);
}

CalcOutcome MainWindow::Run(const FlightInput& input) const {
  QStringList searched;
  QString path = settings_.tablesPath;
  if (path.isEmpty()) {
    path = DefaultTablesPath(&searched);
  } else {
    searched << path;
  }
  try {
    FileClimbTables tables(path, searched);
    return CalculateFlight(input, tables, settings_.locale, /*explain=*/true);
  } catch (const CalcError& error) {
    // The tables could not even be set up; the calculation stops as it would inside a lookup.
    CalcOutcome outcome;
    ClearResults(outcome.labels);
    outcome.error = error;
    return outcome;
  }
}

void MainWindow::CopyResults() {
  // Nothing to copy before the first calculation, after one that failed (its dashes are not times
  // for the logbook), or once the fields no longer hold the flight the results are for. The
  // clipboard then says so instead of keeping what it held, which may be an earlier flight's
  // numbers that a paste into the logbook would bring back.
  const std::optional<QString> line = board_->CopyLine();
  QGuiApplication::clipboard()->setText(board_->ClipboardText());
  const QString note =
      line ? u"Результаты скопированы"_s
      : board_->stale()
          ? u"Не скопировано: результаты устарели, данные изменены — нажмите «Считать»"_s
          : u"Нечего копировать: нет результатов расчёта"_s;
  // A note that goes by itself, in the free corner right of the total so that it hides no
  // result: nothing to close, and the focus stays where it is.
  const QWidget* total = results_[static_cast<int>(ResultLabel::SMU)]->parentWidget();
  QToolTip::showText(mapToGlobal(total->geometry().topRight() + QPoint(4, 0)), note, this, {},
                     kCopyNoteMilliseconds);
}

void MainWindow::OpenResultsMenu() {
  resultsMenu_->popup(resultsArea_->mapToGlobal(resultsArea_->rect().center()));
  // Ready for the arrow keys and Enter.
  for (QAction* entry : resultsMenu_->actions()) {
    if (!entry->isEnabled()) continue;
    resultsMenu_->setActiveAction(entry);
    break;
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    const QLineEdit* box =
        watched == cboTyp_ ? cboTyp_->lineEdit() : qobject_cast<const QLineEdit*>(watched);
    if (box && !box->hasSelectedText()) {
      CopyResults();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Reached from the buttons and the day/night pair, which leave Ctrl+C to their window.
  if (event->matches(QKeySequence::Copy)) {
    CopyResults();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MainWindow::ShowError(const CalcError& error) {
  messages_.ShowError(*this, error.message());
  // Back to the field the message names, its text selected, so the pilot can type over it.
  QWidget* control = FieldControl(error.field());
  if (!control) return;
  control->setFocus(Qt::OtherFocusReason);
  if (auto* box = qobject_cast<QLineEdit*>(control)) box->selectAll();
  if (control == cboTyp_) cboTyp_->lineEdit()->selectAll();
}

void MainWindow::ShowAbout() {
  // One About window for the whole run: made on first use, shown again afterwards. It has no
  // owner, so it stays when the main window is closed by the window system.
  if (!about_) about_ = std::make_unique<AboutWindow>();
  if (!about_->isVisible()) {
    // Opened over the middle of this window, where the pilot is looking.
    QRect place = about_->frameGeometry();
    place.moveCenter(frameGeometry().center());
    about_->move(place.topLeft());
  }
  about_->show();
  about_->raise();
  about_->activateWindow();
}

void MainWindow::ShowFlightReview() {
  if (!review_) {
    review_ = std::make_unique<FlightReviewWindow>();
    review_->FitTo(screen()->availableGeometry());
  }
  if (lastOutcome_) review_->ShowOutcome(*lastOutcome_);
  review_->SetStale(board_->stale());
  review_->show();
  review_->raise();
  review_->activateWindow();
}

void MainWindow::Quit() {
  // Every window goes, the earliest opened (this one) first, and the program ends at once.
  close();
  if (about_) about_->close();
  if (review_) review_->close();
  QCoreApplication::exit(0);
}

}  // namespace meltor
