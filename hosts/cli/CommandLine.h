#pragma once

#include <ostream>

// The command-line host: runs the start-up routine, loads the catalogue and runs one
// command. Returns the exit code (0 ok, 1 refused or failed, 2 usage error).
//
//   tessavin [--app-dir DIR] [--log] COMMAND [ARGS]
int RunTessavin(int argc, char** argv, std::ostream& out, std::ostream& err);
