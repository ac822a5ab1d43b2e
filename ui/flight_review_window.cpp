// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "flight_review_window.h"

#include "program_icon.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace meltor {

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

FlightReviewWindow::FlightReviewWindow() {
  setObjectName(u"frmReview"_s);
  setWindowTitle(u"Разбор полёта"_s);
  setWindowIcon(ProgramIcon());
  // The program ends when its main window is closed, whether or not this one is open.
  setAttribute(Qt::WA_QuitOnClose, false);

  view_ = new FlightPictureView(this);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName(u"txtExplanation"_s);
  text_->setReadOnly(true);
  text_->setAccessibleName(u"Как получен результат"_s);
  copy_ = new QPushButton(u"Копировать рисунок"_s, this);
  copy_->setObjectName(u"cmdCopyPicture"_s);
  save_ = new QPushButton(u"Сохранить рисунок…"_s, this);
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
  layout->addWidget(splitter);
  layout->addLayout(buttons);

  connect(copy_, &QPushButton::clicked, this, &FlightReviewWindow::CopyPicture);
  connect(save_, &QPushButton::clicked, this, &FlightReviewWindow::SavePicture);
  resize(FlightPictureSize().width() + 24, FlightPictureSize().height() + 240);
}

void FlightReviewWindow::ShowOutcome(const CalcOutcome& outcome) {
  outcome_ = outcome;
  view_->SetLayout(LayoutFlightPicture(outcome));
  text_->setPlainText(outcome.explanation.join(u'\n'));
  copy_->setEnabled(true);
  save_->setEnabled(true);
}

void FlightReviewWindow::CopyPicture() {
  if (!outcome_) return;
  QGuiApplication::clipboard()->setImage(FlightPictureImage(*outcome_, 2.0));
}

void FlightReviewWindow::SavePicture() {
  if (!outcome_) return;
  const QString path =
      QFileDialog::getSaveFileName(this, u"Сохранить рисунок"_s, u"разбор-полёта.svg"_s,
                                   u"Рисунок SVG (*.svg);;Рисунок PNG (*.png)"_s);
  if (path.isEmpty()) return;
  QString error;
  if (!SaveFlightPicture(*outcome_, path, &error)) {
    QMessageBox::warning(this, u"Разбор полёта"_s, u"Рисунок не сохранён: %1"_s.arg(error));
  }
}

}  // namespace meltor
