// Kestrum's run as a function, so that tests and fuzzers can call it in-process.
#pragma once

// Runs Kestrum with the command-line arguments; returns the process exit status.
int kestrumMain(int argc, char** argv);
