// SPDX-License-Identifier: GPL-3.0-or-later
// Sample paths, whole-file reads and writes, and a self-removing temporary directory for tests.
#pragma once

#include "support/TempDir.h" // CTempDir, so tests that write files need only this header

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Path of a committed sample under tests/data.
std::string TestDataPath(const std::string& name);

// Whole file as bytes; throws std::runtime_error when the file cannot be read, so a missing sample
// fails the test loudly instead of looking like an empty stream.
std::vector<uint8_t> ReadFileBytes(const std::string& path);

// Replaces the file with exactly these bytes; throws std::runtime_error on failure.
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A real sample beside the project (../shared/samples: not ours, never copied in), or an empty
// path where it is absent, so that a test can skip.
std::string SharedSamplePath(const std::string& name);

// What a shell command printed on its standard output; empty where it failed or there is no POSIX shell.
std::string ShellOutput(const std::string& command);

// ffprobe's fields of a file's first audio stream ("channels", "nb_read_packets"...) and of its
// format ("format_duration"); none where ffprobe cannot read it or is not installed.
std::map<std::string, std::string> ProbeFields(const std::string& path);
