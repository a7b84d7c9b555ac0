// Sample paths, whole-file reads and writes, and a self-removing temporary directory for tests.
#pragma once

#include "support/TempDir.h" // CTempDir, so tests that write files need only this header

#include <cstdint>
#include <string>
#include <vector>

// Path of a committed sample under tests/data.
std::string TestDataPath(const std::string& name);

// Whole file as bytes; throws std::runtime_error when the file cannot be read, so a missing sample
// fails the test loudly instead of looking like an empty stream.
std::vector<uint8_t> ReadFileBytes(const std::string& path);

// Replaces the file with exactly these bytes; throws std::runtime_error on failure.
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
