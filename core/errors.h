// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

#include <QString>

#include <exception>
#include <string>

namespace meltor {

// The input controls of the main window. An error names the one it arose at, so the window can
// put the focus there; None when no single field is to blame.
enum class Field {
  None,
  Typ,
  TpolChas,
  TpolMin,
  Bal,
  Hn,
  Hv,
  VidKm,
  VidSm,
  DayNight,
  ShtorkaZ,
  ShtorkaO,
  Hpol,
};

enum class ErrorKind {
  Conversion,     // text that is not a number, or an empty field
  Overflow,       // a whole number beyond -32768..32767
  FloatingPoint,  // a real number beyond the range of its type
  UnknownType,    // aircraft type not in the list
  Table,          // tables file, view or cell that cannot serve the lookup
};

// The caption of a field as the pilot sees it in the window.
QString FieldCaption(Field field);

// Stops one calculation. The message is complete Russian text for the user.
class CalcError : public std::exception {
 public:
  CalcError(ErrorKind kind, Field field, QString message);

  ErrorKind kind() const { return kind_; }
  Field field() const { return field_; }
  const QString& message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  ErrorKind kind_;
  Field field_;
  QString message_;
  std::string utf8_;
};

}  // namespace meltor
