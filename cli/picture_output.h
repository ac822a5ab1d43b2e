// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The picture of a flight on the command line: `calc --picture FILE` and `batch --pictures DIR`.

#include "calculation.h"
#include "file_writer.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

namespace meltor::cli {

// The application object of one run: a QGuiApplication on the offscreen platform when the run
// draws text (`drawsText`: pictures need the font database), a QCoreApplication otherwise, so
// that the calculations alone need no GUI platform.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv, bool drawsText);

// Writes the picture of `outcome` to `path`: PNG when the name ends in .png, SVG otherwise.
bool WritePicture(const CalcOutcome& outcome, const QString& path, QString* error);

// The picture of row `row` (1 for the first row after the header) in `dir`, made on first use:
// "DIR/1.svg". A row that failed before its calculation (`error` set and no `outcome`) gets the
// picture of a calculation stopped at that message. Each picture is written whole before it
// replaces an old one; the wait for the disk is left to `later` (one sync for the whole batch).
bool WriteRowPicture(const QString& dir, qint64 row, const CalcOutcome* outcome,
                     const QString& error, files::DeferredSync& later, QString* failure);

// Pictures named as a batch names them ("14.svg") beyond the `rows` of this run: what an earlier,
// longer run left in `dir`. The warning that says so, or empty. They are not removed: the folder
// may hold a picture that is someone's own.
QString EarlierPictures(const QString& dir, qint64 rows);

}  // namespace meltor::cli
