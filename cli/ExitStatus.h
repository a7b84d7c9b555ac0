// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli's exit statuses, written once for the arguments, the run and its --help.
#pragma once

namespace ExitStatus {
constexpr int kOk = 0;
// A file failed, the report could not be written, or --help / --version could not be.
constexpr int kFileFailed = 1;
constexpr int kUsage = 2;
// Stopped by a signal: this plus the signal's number (130 after Ctrl-C, 143 after SIGTERM).
constexpr int kSignalBase = 128;
// Standard output was a pipe whose reader went away: the run ends quietly, with the status a
// shell shows for a program ended by SIGPIPE, which this run is not ended by.
constexpr int kBrokenPipe = 141;
} // namespace ExitStatus
