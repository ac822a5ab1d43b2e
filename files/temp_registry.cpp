// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "temp_registry.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace meltor::files {

namespace {

// The one piece of global state of the writers, and why: a signal handler can reach nothing but
// globals, and may do nothing but async-signal-safe calls. So the paths live in fixed slots (no
// allocation), each guarded by a lock-free atomic the handler reads, and the handler only calls
// unlink(), sigaction() and raise(). A write needs a slot (two for a device written from a file
// of its own), a set of files one for each file; a path that finds no free slot, or is longer
// than a slot, is simply not removed on a signal.
constexpr int kSlots = 64;
constexpr std::size_t kPathBytes = 4096;

enum SlotState : int { kFree = 0, kBusy = 1, kReady = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  char path[kPathBytes];
};

Slot tempSlots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RemoveTemporaryFiles(int signal) {
  for (Slot& slot : tempSlots) {
    if (slot.state.load() == kReady) ::unlink(slot.path);
  }
  // The default course: the program ends as stopped by the signal.
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

void InstallHandlers() {
  for (const int signal : kSignals) {
    struct sigaction current = {};
    if (sigaction(signal, nullptr, &current) != 0) continue;
    // A signal the program ignores (nohup) or handles itself is left alone.
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action = {};
    action.sa_handler = RemoveTemporaryFiles;
    sigemptyset(&action.sa_mask);
    for (const int other : kSignals) sigaddset(&action.sa_mask, other);
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace

TempRegistration::TempRegistration(const QByteArray& path) {
  // Looked at for each file, not once: a handler is put only where the disposition is the
  // default, so one the program set since (or reset to the default) is respected.
  InstallHandlers();
  if (path.size() + 1 > static_cast<qsizetype>(kPathBytes)) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (tempSlots[i].state.compare_exchange_strong(expected, kBusy)) {
      std::memcpy(tempSlots[i].path, path.constData(), static_cast<std::size_t>(path.size()) + 1);
      tempSlots[i].state.store(kReady);
      slot_ = i;
      return;
    }
  }
}

TempRegistration& TempRegistration::operator=(TempRegistration&& other) noexcept {
  if (this != &other) {
    Release();
    slot_ = other.slot_;
    other.slot_ = -1;
  }
  return *this;
}

void TempRegistration::Release() {
  if (slot_ < 0) return;
  tempSlots[slot_].state.store(kBusy);  // the handler leaves it alone from here
  tempSlots[slot_].state.store(kFree);
  slot_ = -1;
}

SignalsHeld::SignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (const int signal : kSignals) sigaddset(&held, signal);
  pthread_sigmask(SIG_BLOCK, &held, &saved_);
}

SignalsHeld::~SignalsHeld() {
  pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

}  // namespace meltor::files
