// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "about_window.h"

#include "program_icon.h"
#include "window_layout.h"

#include <QFontMetrics>
#include <QLabel>
#include <QShortcut>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

// The project has neither a mail address nor a web site of its own; the two lines say so.
const QString kNoAddress = QStringLiteral("—");

QLabel* PlainLabel(QWidget* parent, const QString& name, const QString& text, const QRect& r) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setContentsMargins(0, 0, 0, 0);
  label->setGeometry(r);
  return label;
}

}  // namespace

AboutWindow::AboutWindow() {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(u"О программе"_s);
  setWindowIcon(ProgramIcon());
  setFont(WindowFont());
  setFixedSize(Twips(4290, 1140));

  imgAbout_ = PlainLabel(this, QStringLiteral("imgAbout"), {}, Twips(120, 120, 480, 480));
  imgAbout_->setPixmap(ProgramPicture());

  const QString emailLine = u"Email: "_s;
  const QString homeLine = u"Домашняя страница: "_s;
  const QString text = QStringLiteral("Meltor v 2.2\n") + u"Автор: "_s + u"проект Meltor"_s +
                       QStringLiteral("\n") + emailLine + QStringLiteral("\n") + homeLine +
                       QStringLiteral("\n");
  const QRect textArea = Twips(720, 240, 3495, 975);
  label1_ = PlainLabel(this, QStringLiteral("Label1"), text, textArea);

  // The two addresses stand on the third and fourth lines, right after their captions, in
  // whatever font the system gave the window.
  const QFontMetrics fm(font());
  const QSize emailSize = Twips(1815, 255);
  const QSize homeSize = Twips(1575, 255);
  label2_ = PlainLabel(this, QStringLiteral("Label2"), kNoAddress,
                       QRect(QPoint(textArea.left() + fm.horizontalAdvance(emailLine),
                                    textArea.top() + 2 * fm.lineSpacing()),
                             QSize(emailSize.width(), fm.height())));
  label3_ = PlainLabel(this, QStringLiteral("Label3"), kNoAddress,
                       QRect(QPoint(textArea.left() + fm.horizontalAdvance(homeLine),
                                    textArea.top() + 3 * fm.lineSpacing()),
                             QSize(homeSize.width(), fm.height())));
  label2_->setAccessibleName(u"Email"_s);
  label3_->setAccessibleName(u"Домашняя страница"_s);

  // Read and done: Escape or Enter closes it, as they close any box of the desktop.
  for (const QKeySequence& keys :
       {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
  }
}

}  // namespace meltor
