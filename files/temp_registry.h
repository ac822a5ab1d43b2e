// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The temporary files of the writes in progress, removed when SIGINT, SIGTERM or SIGHUP stops the
// program (a signal whose handling the program left at the default; one it ignores stays
// ignored). After the removal the signal takes its default course, so the program still ends as
// stopped by it.

#include <QByteArray>

#include <csignal>

namespace meltor::files {

// A registration: the path is removed on a signal until the object goes (or Release()).
class TempRegistration {
 public:
  TempRegistration() = default;
  explicit TempRegistration(const QByteArray& path);
  ~TempRegistration() { Release(); }
  TempRegistration(TempRegistration&& other) noexcept : slot_(other.slot_) { other.slot_ = -1; }
  TempRegistration& operator=(TempRegistration&& other) noexcept;
  TempRegistration(const TempRegistration&) = delete;
  TempRegistration& operator=(const TempRegistration&) = delete;

  void Release();

 private:
  int slot_ = -1;
};

// Holds SIGINT, SIGTERM and SIGHUP back for its lifetime (in this thread): the steps between
// making or renaming a file and (un)registering it happen as one.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t saved_;
};

}  // namespace meltor::files
