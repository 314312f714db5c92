#include "CommandLine.h"

#include <iostream>

int main(int argc, char** argv) {
    return RunTessavin(argc, argv, std::cout, std::cerr);
}
