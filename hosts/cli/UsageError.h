#pragma once

#include <string>

// A command line that does not fit the usage: reported with the usage text, exit code 2.
struct UsageError {
    std::string message;
};
