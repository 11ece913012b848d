#pragma once
// The command-line driver: banner, usage, options, the default second file
// name, the echo of both names, and the dispatch of exactly one conversion by
// the extension of File 1 and the options. Returns the exit status.
#include <string>
#include <vector>

namespace velmorak::driver {

// Runs the program with args[0] the program's own path, on the installed runtime.
// Stops through STOPRUN propagate as services::RunStop.
int run(const std::vector<std::string>& args);

// The whole process: installs a runtime over standard input and output, runs,
// closes what is open and returns the exit status.
int main_entry(int argc, char** argv);

}  // namespace velmorak::driver
