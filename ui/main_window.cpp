// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "main_window.h"

#include "about_window.h"
#include "climb_tables.h"
#include "field_warnings.h"
#include "flight_review_window.h"
#include "message_sink.h"
#include "profiles.h"
#include "program_icon.h"
#include "tables_file.h"
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
#include <QShortcut>
#include <QStyleOptionFrame>
#include <QToolTip>

#include <algorithm>
#include <utility>

namespace meltor {

namespace {

QGroupBox* Frame(QWidget* parent, const QString& name, const QString& caption, const QRect& r) {
  auto* frame = new FrameBox(caption, parent);
  frame->setObjectName(name);
  frame->setGeometry(r);
  return frame;
}

QLabel* StaticLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& r,
                    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(alignment);
  label->setGeometry(r);
  return label;
}

// A single-line box with centred text that takes any text at all, and shows a number whole: a
// text too wide for the box at the window's font is drawn in a smaller size of it, so that
// "12000" or "-32768" never loses a digit to the box's edge.
class FittingBox final : public QLineEdit {
 public:
  FittingBox(const QString& text, QWidget* parent) : QLineEdit(text, parent) {
    connect(this, &QLineEdit::textChanged, this, &FittingBox::Fit);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLineEdit::resizeEvent(event);
    Fit();
  }

 private:
  // QLineEdit keeps this many pixels on each side inside its frame, besides the text margins.
  static constexpr int kInnerMargin = 2;
  // The smallest size a text is shrunk to; a text that does not fit even so scrolls as usual.
  static constexpr int kSmallestPixels = 7;

  void Fit() {
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int inside = style()->subElementRect(QStyle::SE_LineEditContents, &option, this).width();
    // What QLineEdit needs beside the text: a pixel of room and the cursor.
    const int extra = 1 + style()->pixelMetric(QStyle::PM_TextCursorWidth, &option, this);
    QFont font = parentWidget()->font();
    const auto fits = [&](const QFont& f) {
      return qRound(QFontMetricsF(f).horizontalAdvance(text())) + extra <= inside;
    };
    for (int pixels = QFontInfo(font).pixelSize(); !fits(font) && pixels > kSmallestPixels;) {
      font.setPixelSize(--pixels);
    }
    if (fits(font)) {
      // The whole inside of the frame is the text's: the two inner margins are given back.
      setTextMargins(-kInnerMargin, 0, -kInnerMargin, 0);
    } else {
      font = parentWidget()->font();
      setTextMargins(0, 0, 0, 0);
    }
    if (font != this->font()) setFont(font);
  }
};

QLineEdit* TextBox(QWidget* parent, const QString& name, const QRect& r, Field field,
                   const QString& text = {}) {
  auto* box = new FittingBox(text, parent);
  box->setObjectName(name);
  box->setAlignment(Qt::AlignCenter);
  box->setAccessibleName(FieldCaption(field));
  box->setGeometry(r);
  return box;
}

// One of the day/night pair. Qt lets only one button of an exclusive group be a tab stop; here
// each keeps its own place in the tab order, chosen or not.
class PairedOption final : public QRadioButton {
 public:
  using QRadioButton::QRadioButton;

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QRadioButton::focusInEvent(event);
    for (auto* option : parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
      option->setFocusPolicy(Qt::StrongFocus);
    }
  }
};

QRadioButton* OptionButton(QWidget* parent, const QString& name, const QString& caption,
                           const QString& accessibleName, const QRect& r) {
  auto* option = new PairedOption(caption, parent);
  option->setObjectName(name);
  option->setAccessibleName(accessibleName);
  option->setGeometry(r);
  return option;
}

// A command button that Enter and keypad Enter press, as Space does, while it has the focus. It
// is never the window's default button: Enter in a text box presses nothing.
class EnterButton final : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      if (!event->isAutoRepeat()) click();
      event->accept();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

QPushButton* CommandButton(QWidget* parent, const QString& name, const QString& caption,
                           const QRect& r) {
  auto* button = new EnterButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setGeometry(r);
  return button;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

// The tooltip of one result: "heading: value" in bold, then the path of the calculation, a
// paragraph to a line. Rich text, so that the tooltip wraps its long lines instead of running off
// the screen; a little space between the paragraphs keeps a wrapped line apart from the next.
QString ResultToolTip(const QString& heading, const QString& value, const QStringList& path) {
  QString tip = QStringLiteral("<p style=\"margin:0 0 6px 0\"><b>%1: %2</b></p>")
                    .arg(heading.toHtmlEscaped(), value.toHtmlEscaped());
  for (const QString& line : path) {
    tip += QStringLiteral("<p style=\"margin:0 0 3px 0\">%1</p>").arg(line.toHtmlEscaped());
  }
  return tip;
}

// The results as one row of a spreadsheet or logbook table: heading, value, heading, value...,
// tab-separated, no line end.
QString ResultsLine(const ResultTexts& texts) {
  QStringList cells;
  for (int i = 0; i < kResultCount; ++i) cells << ResultHeadings()[i] << texts.text[i];
  return cells.join(QLatin1Char('\t'));
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
      Frame(this, QStringLiteral("fraInput"), tr("Ввод данных"), Twips(120, 120, 7215, 2295));
  BuildInputs(fraInput);
  BuildResults();
  SetTabOrder();

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

  cboTyp_->setFocus(Qt::OtherFocusReason);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildInputs(QWidget* fraInput) {
  // First row of frames.
  auto* fraTyp =
      Frame(fraInput, QStringLiteral("fraTyp"), tr(" Тип самолёта"), Twips(120, 240, 1335, 855));
  cboTyp_ = new QComboBox(fraTyp);
  cboTyp_->setObjectName(QStringLiteral("cboTyp"));
  cboTyp_->setEditable(true);
  cboTyp_->setInsertPolicy(QComboBox::NoInsert);
  cboTyp_->setCompleter(nullptr);  // the field holds exactly what was typed
  cboTyp_->setAccessibleName(FieldCaption(Field::Typ));
  cboTyp_->setGeometry(Twips(120, 345, 1095, 330));

  auto* fraTime =
      Frame(fraInput, QStringLiteral("fraTime"), tr("Время п-та"), Twips(1440, 240, 1095, 855));
  StaticLabel(fraTime, QStringLiteral("lblTime"), tr("  ч    мин"), Twips(60, 240, 975, 210),
              Qt::AlignCenter);
  txtTpolChas_ = TextBox(fraTime, QStringLiteral("txtTpolChas"), Twips(120, 465, 405, 300),
                         Field::TpolChas, QStringLiteral("0"));
  txtTpolMin_ =
      TextBox(fraTime, QStringLiteral("txtTpolMin"), Twips(570, 465, 405, 300), Field::TpolMin);

  auto* fraObl =
      Frame(fraInput, QStringLiteral("fraObl"), tr("Облачность, м"), Twips(2520, 240, 2055, 855));
  StaticLabel(fraObl, QStringLiteral("lblOblHar"), tr("баллов    Нн         Нв"),
              Twips(120, 240, 1860, 210));
  txtBal_ = TextBox(fraObl, QStringLiteral("txtBal"), Twips(120, 465, 540, 300), Field::Bal);
  txtHn_ = TextBox(fraObl, QStringLiteral("txtHn"), Twips(750, 465, 555, 300), Field::Hn);
  txtHv_ = TextBox(fraObl, QStringLiteral("txtHv"), Twips(1395, 465, 555, 300), Field::Hv);

  auto* frame1 =
      Frame(fraInput, QStringLiteral("Frame1"), tr("Видимость,км"), Twips(4560, 240, 1335, 855));
  txtVidKm_ = TextBox(frame1, QStringLiteral("txtVidKm"), Twips(120, 465, 495, 300), Field::VidKm);
  auto* label1 = StaticLabel(frame1, QStringLiteral("Label1"), QStringLiteral(","),
                             Twips(615, 375, 105, 405), Qt::AlignCenter);
  label1->setFont(ResultFont(true));
  txtVidSm_ = TextBox(frame1, QStringLiteral("txtVidSm"), Twips(720, 465, 495, 300), Field::VidSm);

  auto* frame2 =
      Frame(fraInput, QStringLiteral("Frame2"), tr("   Полёты"), Twips(5880, 240, 1215, 855));
  optDSMU_ = OptionButton(frame2, QStringLiteral("optDSMU"), tr("днём"), tr("Полёты днём"),
                          Twips(120, 240, 1020, 270));
  optNSMU_ = OptionButton(frame2, QStringLiteral("optNSMU"), tr("ночью"), tr("Полёты ночью"),
                          Twips(120, 525, 1020, 270));

  // Second row.
  auto* frame3 = Frame(fraInput, QStringLiteral("Frame3"), tr("Использование шторки"),
                       Twips(120, 1200, 2415, 975));
  txtShtorkaZ_ =
      TextBox(frame3, QStringLiteral("txtShtorkaZ"), Twips(90, 270, 540, 300), Field::ShtorkaZ);
  StaticLabel(frame3, QStringLiteral("Label2"), tr("высота закрытия, м"),
              Twips(660, 270, 1725, 300));
  txtShtorkaO_ =
      TextBox(frame3, QStringLiteral("txtShtorkaO"), Twips(90, 615, 540, 300), Field::ShtorkaO);
  StaticLabel(frame3, QStringLiteral("Label3"), tr("высота открытия, м"),
              Twips(660, 615, 1725, 300));

  auto* fraHpol = Frame(fraInput, QStringLiteral("fraHpol"), tr("Высота п-та, м"),
                        Twips(2640, 1200, 1335, 975));
  txtHpol_ = TextBox(fraHpol, QStringLiteral("txtHpol"), Twips(120, 435, 1095, 300), Field::Hpol);

  cmdOK_ =
      CommandButton(fraInput, QStringLiteral("cmdOK"), tr("Считать"), Twips(6120, 1200, 975, 375));
  cmdOK_->setEnabled(false);
  cmdAbout_ = CommandButton(fraInput, QStringLiteral("cmdAbout"), tr("Справка"),
                            Twips(4320, 1800, 975, 375));
  cmdQuit_ =
      CommandButton(fraInput, QStringLiteral("cmdQuit"), tr("Выход"), Twips(6120, 1800, 975, 375));
}

void MainWindow::BuildResults() {
  auto* frame5 = Frame(this, QStringLiteral("Frame5"), tr("Записать в лётную книжку"),
                       Twips(120, 2520, 3975, 1215));
  auto* frame6 =
      Frame(this, QStringLiteral("Frame6"), tr("Всего в СМУ"), Twips(4200, 2520, 1335, 1215));

  const auto& headings = ResultHeadings();
  // Each heading is centred over its result; the last one wraps onto two lines and so starts a
  // line higher.
  StaticLabel(frame5, QStringLiteral("Label4"), headings[0], Twips(30, 300, 1275, 225),
              Qt::AlignCenter);
  StaticLabel(frame5, QStringLiteral("Label5"), headings[1], Twips(1380, 300, 735, 225),
              Qt::AlignCenter);
  StaticLabel(frame5, QStringLiteral("Label6"), headings[2], Twips(2220, 300, 735, 225),
              Qt::AlignCenter);
  auto* label7 = StaticLabel(frame5, QStringLiteral("Label7"), headings[3],
                             Twips(2925, 90, 990, 435), Qt::AlignHCenter | Qt::AlignBottom);
  label7->setWordWrap(true);

  const std::array<const char16_t*, kResultCount> names = {u"lblZakKab", u"lblObl", u"lblZaObl",
                                                           u"lblOgrVid", u"lblSMU"};
  const std::array<int, 4> lefts = {360, 1440, 2280, 3120};
  for (int i = 0; i < kResultCount; ++i) {
    QWidget* frame = i < 4 ? frame5 : frame6;
    const int left = i < 4 ? lefts[i] : 360;
    QLabel* label = StaticLabel(frame, QString::fromUtf16(names[i]), {}, Twips(left, 720, 615, 375),
                                Qt::AlignCenter);
    label->setFont(ResultFont(false));
    label->setAccessibleName(headings[i]);
    results_[i] = label;
    resultPlaces_[i] = label->geometry();
  }
  SetTextColour(results_[static_cast<int>(ResultLabel::ZaObl)], QColor(0, 0, 0));
  SetTextColour(results_[static_cast<int>(ResultLabel::SMU)], QColor(255, 0, 0));

  BuildResultsMenu({frame5, frame6});
}

void MainWindow::BuildResultsMenu(std::initializer_list<QWidget*> areas) {
  resultsMenu_ = new QMenu(this);
  resultsMenu_->setObjectName(QStringLiteral("mnuResults"));
  QAction* copy =
      AddResultsEntry(tr("Копировать результаты"), QKeySequence::Copy, &MainWindow::CopyResults);
  // The review shows a failed calculation too, and an empty one before the first.
  AddResultsEntry(tr("Разбор полёта"), QKeySequence(Qt::CTRL | Qt::Key_R),
                  &MainWindow::ShowFlightReview);
  // Copying works on the results of the last calculation, and only on good ones.
  connect(resultsMenu_, &QMenu::aboutToShow, this,
          [this, copy] { copy->setEnabled(copyable_.has_value()); });
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
}

void MainWindow::Calculate() {
  ResultTexts texts;
  ClearResults(texts);
  ShowResultTexts(texts);
  ShowExplanation(texts, {});
  copyable_.reset();

  const CalcOutcome outcome = Run(Input());
  ShowFieldWarnings(*this, outcome.warnings,
                    [this](Field f) { return qobject_cast<QLineEdit*>(FieldControl(f)); });
  lastOutcome_ = outcome;
  if (review_ && review_->isVisible()) review_->ShowOutcome(outcome);
  ShowResultTexts(outcome.labels);
  if (outcome.error) {
    ShowError(*outcome.error);
    return;
  }
  ShowExplanation(outcome.labels, outcome.explanation);
  copyable_ = outcome.labels;
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

void MainWindow::ShowResultTexts(const ResultTexts& texts) {
  for (int i = 0; i < kResultCount; ++i) {
    QLabel* label = results_[i];
    label->setText(texts.text[i]);
    // A result wider than its place (a negative time, say) widens the label about its centre
    // rather than losing a character at either end.
    const QRect designed = resultPlaces_[i];
    const int needed = label->fontMetrics().horizontalAdvance(texts.text[i]) + 2;
    const int width = std::min(std::max(designed.width(), needed), label->parentWidget()->width());
    const int left = std::clamp(designed.left() - (width - designed.width()) / 2, 0,
                                label->parentWidget()->width() - width);
    label->setGeometry(left, designed.top(), width, designed.height());
  }
}

void MainWindow::ShowExplanation(const ResultTexts& texts, const QStringList& path) {
  for (int i = 0; i < kResultCount; ++i) {
    results_[i]->setToolTip(
        path.isEmpty() ? QString() : ResultToolTip(ResultHeadings()[i], texts.text[i], path));
  }
}

void MainWindow::CopyResults() {
  // Nothing to copy before the first calculation or after one that failed: its dashes are not
  // times for the logbook.
  if (copyable_) QGuiApplication::clipboard()->setText(ResultsLine(*copyable_));
  // A note that goes by itself, in the free corner right of the total so that it hides no
  // result: nothing to close, and the focus stays where it is.
  const QWidget* total = results_[static_cast<int>(ResultLabel::SMU)]->parentWidget();
  QToolTip::showText(
      mapToGlobal(total->geometry().topRight() + QPoint(4, 0)),
      copyable_ ? tr("Результаты скопированы") : tr("Нечего копировать: нет результатов расчёта"),
      this, {}, kCopyNoteMilliseconds);
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
  about_->show();
  about_->raise();
  about_->activateWindow();
}

void MainWindow::ShowFlightReview() {
  if (!review_) review_ = std::make_unique<FlightReviewWindow>();
  if (lastOutcome_) review_->ShowOutcome(*lastOutcome_);
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
