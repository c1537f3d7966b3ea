#include <iostream>

#include "cli/cli_main.h"

int main(int argc, char** argv) { return tk::cli::CliMain(argc, argv, std::cout, std::cerr); }
