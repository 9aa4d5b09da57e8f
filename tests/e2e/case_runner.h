// The table-driven end-to-end runner: one directory under tests/data/e2e is
// one case (its format is described in tests/data/e2e/README).
#pragma once

#include <string>
#include <vector>

namespace fuzzyart::testing {

// Every case directory (one that holds an "args" file) below root, sorted.
std::vector<std::string> listCases(const std::string& root);

// Runs one case in a fresh temporary directory; returns a description of every
// difference from the expected bytes, empty when the case passes.
std::vector<std::string> runCase(const std::string& caseDir, const std::string& binary);

// A readable rendering of the first difference between two byte strings.
std::string describeDifference(const std::string& what, const std::string& expected, const std::string& actual);

}  // namespace fuzzyart::testing
