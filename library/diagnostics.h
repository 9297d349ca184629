// Diagnostics: the one sink through which the library reports warnings and errors.
#pragma once

#include <ostream>

namespace VXMole {

// Every warning ("WARNING : ...") and error report the library writes goes to this stream,
// never straight to std::cerr: the program that uses the library chooses where they go (the
// driver points it at the error stream; a test at a string stream). It is std::cerr until
// someone points it elsewhere. Diagnostic dumps behind the classes' debug switches go to the
// standard output, where the switches send them.
std::ostream& diagnostics();

// Points the sink at `stream`, which must outlive its use; returns the stream it replaces.
std::ostream& setDiagnostics(std::ostream& stream);

}  // namespace VXMole
