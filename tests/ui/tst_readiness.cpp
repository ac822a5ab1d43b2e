// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// When "Считать" becomes available: sequences of user actions and the button's state after them.

#include "main_window.h"
#include "window_driver.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace meltor;
using namespace meltor::test;

namespace {

struct Step {
  enum Action { Type, Clear, Choose, Click } action;
  QString control;
  QString text;  // Type: the text; Choose: the list position
};

Step T(const char16_t* control, const char16_t* text) {
  return {Step::Type, QString::fromUtf16(control), QString::fromUtf16(text)};
}
Step C(const char16_t* control) {
  return {Step::Clear, QString::fromUtf16(control), {}};
}
Step Choose(int index) {
  return {Step::Choose, QStringLiteral("cboTyp"), QString::number(index)};
}
Step Click(const char16_t* control) {
  return {Step::Click, QString::fromUtf16(control), {}};
}

using Steps = QList<Step>;

// Type, minutes, cloud amount, cloud base, visibility in km and flight height, leaving out the
// field named `without`; hours stay "0".
Steps WeatherFields(const QString& without = {}) {
  Steps all = {T(u"cboTyp", u"Л-39"), T(u"txtTpolMin", u"30"), T(u"txtBal", u"10"),
               T(u"txtHn", u"200"),   T(u"txtVidKm", u"3"),    T(u"txtHpol", u"3000")};
  all.removeIf([&](const Step& s) { return s.control == without; });
  return all;
}

// Type, minutes and both hood heights, leaving out the field named `without`; hours stay "0".
Steps HoodFields(const QString& without = {}) {
  Steps all = {T(u"cboTyp", u"Су-27"), T(u"txtTpolMin", u"45"), T(u"txtShtorkaZ", u"300"),
               T(u"txtShtorkaO", u"900")};
  all.removeIf([&](const Step& s) { return s.control == without; });
  return all;
}

}  // namespace

Q_DECLARE_METATYPE(Steps)

class TestReadiness : public QObject {
  Q_OBJECT

 private slots:
  void sequences_data() {
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("nothing entered") << Steps{} << false;
    QTest::newRow("weather set, no day or night") << WeatherFields() << false;
    QTest::newRow("weather set, then днём") << (WeatherFields() << Click(u"optDSMU")) << true;
    QTest::newRow("weather set, then ночью") << (WeatherFields() << Click(u"optNSMU")) << true;
    QTest::newRow("днём first, weather set typed after")
        << (Steps{Click(u"optDSMU")} << WeatherFields()) << true;
    QTest::newRow("weather set without flight height")
        << (Steps{Click(u"optDSMU")} << WeatherFields(QStringLiteral("txtHpol"))) << false;
    QTest::newRow("cloud top instead of cloud base")
        << (Steps{Click(u"optDSMU"), T(u"txtHv", u"1000")}
            << WeatherFields(QStringLiteral("txtHn")))
        << false;
    QTest::newRow("hundreds of metres instead of km")
        << (Steps{Click(u"optDSMU"), T(u"txtVidSm", u"5")}
            << WeatherFields(QStringLiteral("txtVidKm")))
        << false;

    QTest::newRow("hood set") << HoodFields() << true;
    QTest::newRow("hood set without the opening height")
        << HoodFields(QStringLiteral("txtShtorkaO")) << false;
    QTest::newRow("hours deleted") << (Steps{C(u"txtTpolChas")} << HoodFields()) << false;
    QTest::newRow("hours deleted, then typed again")
        << (Steps{C(u"txtTpolChas")} << HoodFields() << T(u"txtTpolChas", u"1")) << true;
    QTest::newRow("a blank in every field of the hood set")
        << Steps{C(u"txtTpolChas"),      T(u"txtTpolChas", u" "), T(u"cboTyp", u" "),
                 T(u"txtTpolMin", u" "), T(u"txtShtorkaZ", u" "), T(u"txtShtorkaO", u" ")}
        << true;
    QTest::newRow("letters count as filled")
        << Steps{T(u"cboTyp", u"x"), T(u"txtTpolMin", u"x"), T(u"txtShtorkaZ", u"x"),
                 T(u"txtShtorkaO", u"x")}
        << true;

    // Choosing from the list is no edit of the field's text, so it runs no check.
    QTest::newRow("type chosen from the list last")
        << (HoodFields(QStringLiteral("cboTyp")) << Choose(3)) << false;
    QTest::newRow("type chosen last, weather set")
        << (Steps{Click(u"optDSMU")} << WeatherFields(QStringLiteral("cboTyp")) << Choose(0))
        << false;
    QTest::newRow("type chosen last, then cloud top and hundreds of metres")
        << (HoodFields(QStringLiteral("cboTyp"))
            << Choose(3) << T(u"txtHv", u"2000") << T(u"txtVidSm", u"5") << C(u"txtHv"))
        << false;
    QTest::newRow("type chosen last, then a watched field")
        << (HoodFields(QStringLiteral("cboTyp")) << Choose(3) << T(u"txtBal", u"1")) << true;
    QTest::newRow("type chosen last, then ночью")
        << (Steps{Click(u"optDSMU")} << WeatherFields(QStringLiteral("cboTyp")) << Choose(0)
                                     << Click(u"optNSMU"))
        << true;
    QTest::newRow("type typed last")
        << (HoodFields(QStringLiteral("cboTyp")) << T(u"cboTyp", u"Су-27")) << true;

    QTest::newRow("everything cleared after enabling")
        << (HoodFields() << C(u"cboTyp") << C(u"txtTpolChas") << C(u"txtTpolMin")
                         << C(u"txtShtorkaZ") << C(u"txtShtorkaO"))
        << true;
  }
  void sequences() {
    QFETCH(Steps, steps);
    QFETCH(bool, enabled);
    RecordingSink sink;
    MainWindow window(sink);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* ok = Child<QPushButton>(window, u"cmdOK");
    QVERIFY(!ok->isEnabled());

    for (const Step& step : steps) {
      QWidget* control = Child<QWidget>(window, step.control);
      QVERIFY2(control, qPrintable(step.control));
      switch (step.action) {
        case Step::Type:
          Type(control, step.text);
          break;
        case Step::Clear:
          Clear(control);
          QCOMPARE(TextOf(control), QString());
          break;
        case Step::Choose:
          QVERIFY(ChooseFromList(qobject_cast<QComboBox*>(control), step.text.toInt()));
          break;
        case Step::Click:
          QTest::mouseClick(control, Qt::LeftButton);
          break;
      }
    }
    QCOMPARE(ok->isEnabled(), enabled);
    QVERIFY(sink.shown.isEmpty());
  }

  // Until «Считать» is enabled, the status line and the button's tooltip say which fields are
  // still empty; once it is, they say nothing. The button itself follows the rules above.
  void saysWhatIsMissing_data() {
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("tip");  // a piece of the button's tooltip; empty: none at all
    QTest::newRow("nothing entered")
        << Steps{}
        << QStringLiteral(
               "Не заполнены: тип, минуты, баллы, Нн, видимость, днём/ночью, высота п-та (или "
               "высоты шторки).")
        << QStringLiteral(
               "Для расчёта по шторке не заполнены: Тип самолёта; Время п-та, мин; Шторка, "
               "высота закрытия, м; Шторка, высота открытия, м.");
    QTest::newRow("weather set without day or night")
        << WeatherFields() << QStringLiteral("Не заполнены: днём/ночью (или высоты шторки).")
        << QStringLiteral("Для расчёта по погоде не заполнены: «днём» или «ночью».");
    QTest::newRow("hood set without the opening height")
        << HoodFields(QStringLiteral("txtShtorkaO"))
        << QStringLiteral(
               "Не заполнены: баллы, Нн, видимость, днём/ночью, высота п-та (или открытие "
               "шторки).")
        << QStringLiteral("Для расчёта по шторке не заполнены: Шторка, высота открытия, м.");
    QTest::newRow("hours deleted")
        << (Steps{C(u"txtTpolChas")} << HoodFields()) << QStringLiteral("Не заполнены: часы.")
        << QStringLiteral("Для расчёта по погоде не заполнены: Время п-та, ч;");
    QTest::newRow("type chosen from the list last")
        << (HoodFields(QStringLiteral("cboTyp")) << Choose(3))
        << QStringLiteral("Поля заполнены: измените любое или выберите «днём»/«ночью».")
        << QStringLiteral("кнопка включится при следующей правке поля");
    QTest::newRow("enabled") << HoodFields() << QString() << QString();
  }
  void saysWhatIsMissing() {
    QFETCH(Steps, steps);
    QFETCH(QString, status);
    QFETCH(QString, tip);
    RecordingSink sink;
    MainWindow window(sink);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const Step& step : steps) {
      QWidget* control = Child<QWidget>(window, step.control);
      if (step.action == Step::Type) Type(control, step.text);
      if (step.action == Step::Clear) Clear(control);
      if (step.action == Step::Choose) {
        QVERIFY(ChooseFromList(qobject_cast<QComboBox*>(control), step.text.toInt()));
      }
    }
    auto* ok = Child<QPushButton>(window, u"cmdOK");
    QCOMPARE(ok->isEnabled(), tip.isEmpty());
    QCOMPARE(Child<QLabel>(window, u"lblStatus")->text(), status);
    QVERIFY2(ok->toolTip().contains(tip), qPrintable(ok->toolTip()));
    QCOMPARE(ok->toolTip().isEmpty(), tip.isEmpty());
  }

  // The list keeps its six entries whatever is typed and confirmed in the field.
  void typedTextAddsNoEntry() {
    RecordingSink sink;
    MainWindow window(sink);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* cbo = Child<QComboBox>(window, u"cboTyp");
    Type(cbo, QStringLiteral("Ан-2"));
    QTest::keyClick(cbo, Qt::Key_Return);
    QCOMPARE(cbo->count(), 6);
    QCOMPARE(cbo->currentText(), QStringLiteral("Ан-2"));
    QCOMPARE(cbo->findText(QStringLiteral("Ан-2")), -1);
  }
};

QTEST_MAIN(TestReadiness)
#include "tst_readiness.moc"
