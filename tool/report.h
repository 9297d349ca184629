// Kestrum's reports: the lines a run prints of its fits, pairs and warnings, and the progress
// line of a long stage.
#pragma once

#include <unistd.h>  // for isatty

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "atome.h"
#include "coords.h"
#include "pairing.h"
#include "rigidbody.h"

namespace kestrum {

// The text on one line: control characters become blanks.
std::string oneLine(std::string text);

// A point as the run prints it: x y z on one line.
void printPoint(const VXMole::Coords& c);

// The refusal of a pairing that memory cannot hold, in one line.
void reportRefusal(const VXMole::PairingResult& pairing);

// The warnings of a kept set: the search stopped before proving it the largest, or pairing by
// name or number may have joined the wrong atoms.
void warnAboutKeptSet(const VXMole::PairingResult& pairing);

// The transform p' = R.p + t that carries a point of the comparison molecule into the reference
// frame (-m).
void printTransform(const VXMole::RigidBody& fit);

// The pairs formed, each kept or dropped, with its distance after the fit (-l).
void printPairs(const VXMole::PairingResult& pairing, const VXMole::RigidBody& fit);

// Whole molecules: atoms paired by their order in the files, with their distances (-l).
void printAtomDistances(const std::vector<const VXMole::Atom*>& reference,
                        const std::vector<const VXMole::Atom*>& comparison,
                        const VXMole::RigidBody& fit);

// The progress of a long stage on the error stream: a percentage that rewrites one line, shown
// only on a terminal and once the stage has run for about a second, and erased at its end.
class ProgressLine {
 public:
  explicit ProgressLine(const char* label)
      : label_(label), onTerminal_(isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}
  ~ProgressLine() { erase(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(double done) {
    if (!onTerminal_) return;
    if (percent_ < 0 && Clock::now() - start_ < kDelay) return;
    const int percent = std::clamp(static_cast<int>(done * 100), 0, 99);
    if (percent == percent_) return;
    percent_ = percent;
    char line[64];
    std::snprintf(line, sizeof line, "\r%s: %3d%%", label_, percent);
    std::cerr << line << std::flush;
  }

  void erase() {
    if (percent_ < 0) return;
    std::cerr << "\r" << std::string(std::strlen(label_) + 6, ' ') << "\r" << std::flush;
    percent_ = -1;
  }

  VXMole::ProgressFn function() {
    return onTerminal_ ? VXMole::ProgressFn([this](double done) { update(done); })
                       : VXMole::ProgressFn();
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kDelay{1000};
  const char* label_;
  bool onTerminal_;
  Clock::time_point start_;
  int percent_ = -1;  // the percentage shown; -1 while nothing is shown
};

}  // namespace kestrum
