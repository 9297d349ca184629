// Diagnostics: the sink's current stream.
#include "diagnostics.h"

#include <iostream>

namespace VXMole {

namespace {
std::ostream* sink = &std::cerr;
}  // namespace

std::ostream& diagnostics() {
  return *sink;
}

std::ostream& setDiagnostics(std::ostream& stream) {
  std::ostream& previous = *sink;
  sink = &stream;
  return previous;
}

}  // namespace VXMole
