// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "journal_prompts.h"

#include "date_box.h"

#include "journal.h"

#include <QApplication>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace meltor {

EntryDialog::EntryDialog(QWidget* parent, const QString& summary, const EntryDetails& details,
                         std::optional<qint64> replacing)
    : QDialog(parent) {
  setObjectName(u"dlgJournalEntry"_s);
  setWindowTitle(replacing ? u"Записать в журнал — запись №\u00a0%1"_s.arg(*replacing)
                           : u"Записать в журнал"_s);

  auto* flight = new QLabel(summary, this);
  flight->setObjectName(u"lblFlight"_s);
  flight->setTextFormat(Qt::PlainText);
  flight->setWordWrap(true);

  date_ = new DateBox(details.date.isValid() ? details.date : QDate::currentDate(), this);
  date_->setObjectName(u"dtDate"_s);
  board_ = new QLineEdit(details.board, this);
  board_->setObjectName(u"txtBoard"_s);
  board_->setMaxLength(journal::kMaxBoardLength);
  remark_ = new QLineEdit(details.remark, this);
  remark_->setObjectName(u"txtRemark"_s);
  remark_->setMaxLength(journal::kMaxRemarkLength);
  remark_->setMinimumWidth(320);

  auto* form = new QFormLayout;
  form->addRow(u"&Дата полёта:"_s, date_);
  form->addRow(u"&Бортовой номер:"_s, board_);
  form->addRow(u"&Примечание:"_s, remark_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* save = nullptr;
  if (replacing) {
    save = buttons->addButton(u"&Заменить запись №\u00a0%1"_s.arg(*replacing),
                              QDialogButtonBox::AcceptRole);
    save->setObjectName(u"cmdReplace"_s);
    QPushButton* asNew = buttons->addButton(u"&Новая запись"_s, QDialogButtonBox::AcceptRole);
    asNew->setObjectName(u"cmdNew"_s);
    connect(asNew, &QPushButton::clicked, this, [this] {
      saveAs_ = SaveAs::New;
      accept();
    });
    connect(save, &QPushButton::clicked, this, [this] {
      saveAs_ = SaveAs::Replace;
      accept();
    });
  } else {
    save = buttons->addButton(u"&Записать"_s, QDialogButtonBox::AcceptRole);
    save->setObjectName(u"cmdSave"_s);
    connect(save, &QPushButton::clicked, this, [this] {
      saveAs_ = SaveAs::New;
      accept();
    });
  }
  QPushButton* cancel = buttons->addButton(u"Отмена"_s, QDialogButtonBox::RejectRole);
  cancel->setObjectName(u"cmdCancel"_s);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  // Enter anywhere but on another button saves as the first button says.
  save->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(flight);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setTabOrder(date_, board_);
  setTabOrder(board_, remark_);
  date_->setFocus(Qt::OtherFocusReason);
}

EntryDetails EntryDialog::details() const {
  return {date_->date(), board_->text(), remark_->text()};
}

std::optional<SaveRequest> DialogPrompts::AskDetails(QWidget* over, const QString& summary,
                                                     const EntryDetails& details,
                                                     std::optional<qint64> replacing) {
  EntryDialog dialog(over, summary, details, replacing);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return SaveRequest{dialog.details(), dialog.saveAs()};
}

bool DialogPrompts::Confirm(QWidget* over, const QString& question, const QString& yes,
                            const QString& no) {
  QMessageBox box(QMessageBox::Question, u"Meltor — журнал полётов"_s, question,
                  QMessageBox::NoButton, over);
  box.setObjectName(u"msgJournalQuestion"_s);
  QPushButton* yesButton = box.addButton(yes, QMessageBox::AcceptRole);
  QPushButton* noButton = box.addButton(no, QMessageBox::RejectRole);
  box.setDefaultButton(noButton);
  box.setEscapeButton(noButton);
  box.exec();
  return box.clickedButton() == yesButton;
}

std::optional<FileChoice> DialogPrompts::AskFile(QWidget* over, const QString& title,
                                                 const QString& name, const QStringList& filters) {
  QString selected = filters.value(0);
  const QString path =
      QFileDialog::getSaveFileName(over, title, name, filters.join(u";;"_s), &selected);
  if (path.isEmpty()) return std::nullopt;
  return FileChoice{path, static_cast<int>(std::max<qsizetype>(0, filters.indexOf(selected)))};
}

void DialogPrompts::ShowError(QWidget* over, const QString& text) {
  QMessageBox box(QMessageBox::Warning, u"Meltor — журнал полётов"_s, text, QMessageBox::Ok, over);
  box.setObjectName(u"msgJournalError"_s);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace meltor
