// Check Test Data on one port: the checker fed with every block received,
// and how many faults this poll pass has found, so that a pass shows one
// notice and sums up the rest.
#pragma once
#include <cstdint>

#include "core/pattern_checker.h"

struct PortCheck {
  PatternChecker checker;
  uint64_t faultsThisPass = 0;
};

// Switching Check Test Data on: every port's checker starts afresh (offset 0,
// no lock); the counts are kept.
void RestartPatternChecks();
