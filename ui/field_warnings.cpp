// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "field_warnings.h"

#include <QLineEdit>
#include <QPalette>

namespace meltor {

namespace {

// One marked box. It keeps what the box looked like before, puts that back when the pilot
// changes the text or a new calculation replaces the mark, and lives as the box's child.
class FieldMark final : public QObject {
  Q_OBJECT

 public:
  FieldMark(QLineEdit& box, const QString& message)
      : QObject(&box),
        box_(box),
        palette_(box.palette()),
        toolTip_(box.toolTip()),
        description_(box.accessibleDescription()) {
    QPalette marked = palette_;
    marked.setColor(QPalette::Base, QColor(255, 224, 138));
    marked.setColor(QPalette::Text, QColor(0, 0, 0));
    box.setPalette(marked);
    box.setToolTip(message);
    box.setAccessibleDescription(message);
    connect(&box, &QLineEdit::textChanged, this, [this] {
      Restore();
      deleteLater();
    });
  }

  // Puts the box back as it was; the mark no longer counts.
  void Restore() {
    if (!active_) return;
    active_ = false;
    box_.setPalette(palette_);
    box_.setToolTip(toolTip_);
    box_.setAccessibleDescription(description_);
  }

 private:
  QLineEdit& box_;
  const QPalette palette_;
  const QString toolTip_;
  const QString description_;
  bool active_ = true;
};

}  // namespace

void ShowFieldWarnings(QWidget& window, const QList<InputWarning>& warnings,
                       const std::function<QLineEdit*(Field)>& boxOf) {
  for (FieldMark* mark : window.findChildren<FieldMark*>()) {
    mark->Restore();
    delete mark;
  }
  for (const InputWarning& w : warnings) {
    // A field is read once, so it has one warning at most.
    if (QLineEdit* box = boxOf(w.field)) new FieldMark(*box, w.message);
  }
}

}  // namespace meltor

#include "field_warnings.moc"
