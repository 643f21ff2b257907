#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
    pelko::cli::Args args(argv + 1, argv + argc);
    return pelko::cli::Main(args, std::cout, std::cerr);
}
