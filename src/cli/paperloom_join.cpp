// paperloom-join: joins Word documents into one from the command line.
#include <unistd.h>

#include <iostream>

#include "cli/JoinTool.h"
#include "engine/DocumentEngine.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    paperloom::engine::DocumentEngine engine;
    return paperloom::cli::runJoinTool(arguments, engine, std::cout, std::cerr,
                                       ::isatty(STDERR_FILENO) == 1);
}
