// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "flight_review_window.h"

#include "program_icon.h"
#include "results_board.h"
#include "window_controls.h"

#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

const QString kStaleText =
    u"Поля главного окна изменены после этого расчёта — нажмите «Считать»."_s;

// The room a window system's frame and title take around a window, before it has shown one.
constexpr QSize kDecoration(16, 48);

}  // namespace

FlightPictureView::FlightPictureView(QWidget* parent) : QWidget(parent) {
  setObjectName(u"picFlight"_s);
  setMinimumSize(FlightPictureSize() / 2);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void FlightPictureView::SetLayout(std::optional<FlightPictureLayout> layout) {
  layout_ = std::move(layout);
  update();
}

QSize FlightPictureView::sizeHint() const {
  return FlightPictureSize();
}

void FlightPictureView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  if (!layout_) {
    p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
               u"Расчёта ещё не было: введите полёт и нажмите «Считать»."_s);
    return;
  }
  // Scaled to fit, in proportion, centred.
  const QSizeF size = FlightPictureSize();
  const qreal scale = std::min(width() / size.width(), height() / size.height());
  p.translate((width() - size.width() * scale) / 2, (height() - size.height() * scale) / 2);
  p.scale(scale, scale);
  DrawFlightPicture(p, *layout_);
}

QString PicturePath(const QString& chosen, const QString& suffix) {
  const QString typed = QFileInfo(chosen).suffix();
  if (typed.compare(u"svg"_s, Qt::CaseInsensitive) == 0 ||
      typed.compare(u"png"_s, Qt::CaseInsensitive) == 0) {
    return chosen;
  }
  return chosen + u'.' + suffix;
}

FlightReviewWindow::FlightReviewWindow() {
  setObjectName(u"frmReview"_s);
  setWindowTitle(u"Разбор полёта"_s);
  setWindowIcon(ProgramIcon());
  // The program ends when its main window is closed, whether or not this one is open.
  setAttribute(Qt::WA_QuitOnClose, false);

  view_ = new FlightPictureView(this);
  stale_ = new QLabel(kStaleText, this);
  stale_->setObjectName(u"lblStale"_s);
  stale_->setWordWrap(true);
  stale_->setAutoFillBackground(true);
  QPalette tint = stale_->palette();
  tint.setColor(QPalette::Window, WarningTint());
  tint.setColor(QPalette::WindowText, Qt::black);
  stale_->setPalette(tint);
  stale_->setMargin(4);
  stale_->hide();
  text_ = new QPlainTextEdit(this);
  text_->setObjectName(u"txtExplanation"_s);
  text_->setReadOnly(true);
  text_->setAccessibleName(u"Как получен результат"_s);
  copy_ = new EnterButton(u"Копировать рисунок"_s, this);
  copy_->setObjectName(u"cmdCopyPicture"_s);
  save_ = new EnterButton(u"Сохранить рисунок…"_s, this);
  save_->setObjectName(u"cmdSavePicture"_s);
  copy_->setEnabled(false);
  save_->setEnabled(false);

  auto* splitter = new QSplitter(Qt::Vertical, this);
  splitter->addWidget(view_);
  splitter->addWidget(text_);
  splitter->setStretchFactor(0, 4);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({FlightPictureSize().height(), 180});
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(copy_);
  buttons->addWidget(save_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(stale_);
  layout->addWidget(splitter);
  layout->addLayout(buttons);

  connect(copy_, &QPushButton::clicked, this, &FlightReviewWindow::CopyPicture);
  connect(save_, &QPushButton::clicked, this, &FlightReviewWindow::SavePicture);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          &QWidget::close);
  resize(FlightPictureSize().width() + 24, FlightPictureSize().height() + 240);
}

void FlightReviewWindow::FitTo(const QRect& available) {
  const QSize wanted(FlightPictureSize().width() + 24, FlightPictureSize().height() + 240);
  const QSize size = wanted.boundedTo(available.size() - kDecoration).expandedTo(minimumSizeHint());
  resize(size);
  QRect place(QPoint(0, 0), size + kDecoration);
  place.moveCenter(available.center());
  move(place.topLeft());
}

void FlightReviewWindow::ShowOutcome(const CalcOutcome& outcome) {
  outcome_ = outcome;
  view_->SetLayout(LayoutFlightPicture(outcome));
  text_->setPlainText(outcome.explanation.join(u'\n'));
  copy_->setEnabled(true);
  save_->setEnabled(true);
  SetStale(false);
}

void FlightReviewWindow::SetStale(bool stale) {
  stale_->setVisible(stale && outcome_.has_value());
}

void FlightReviewWindow::CopyPicture() {
  if (!outcome_) return;
  QGuiApplication::clipboard()->setImage(FlightPictureImage(*outcome_, 2.0));
}

void FlightReviewWindow::SavePicture() {
  if (!outcome_) return;
  const QString svg = u"Рисунок SVG (*.svg)"_s;
  const QString png = u"Рисунок PNG (*.png)"_s;
  QString filter = svg;
  const QString chosen = QFileDialog::getSaveFileName(
      this, u"Сохранить рисунок"_s, u"разбор-полёта"_s, svg + u";;"_s + png, &filter);
  if (chosen.isEmpty()) return;
  // The chosen filter's format, with its extension, unless the name already says which.
  const QString path = PicturePath(chosen, filter == png ? u"png"_s : u"svg"_s);
  if (path != chosen && QFileInfo::exists(path) &&
      QMessageBox::question(this, u"Сохранить рисунок"_s,
                            u"Файл «%1» уже есть. Заменить его?"_s.arg(QFileInfo(path).fileName()),
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No) != QMessageBox::Yes) {
    return;
  }
  QString error;
  if (!SaveFlightPicture(*outcome_, path, &error)) {
    QMessageBox::warning(this, u"Разбор полёта"_s, u"Рисунок не сохранён: %1"_s.arg(error));
  }
}

}  // namespace meltor
