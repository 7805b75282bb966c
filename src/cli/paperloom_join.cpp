// paperloom-join: joins Word documents into one from the command line.
#include <unistd.h>

#include <iostream>
#include <memory>

#include "cli/JoinTool.h"
#include "engine/DocumentEngine.h"
#include "engine/office/OfficeBridge.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    paperloom::engine::DocumentEngine engine;
    engine.setConverter(std::make_shared<paperloom::engine::office::OfficeBridge>());
    return paperloom::cli::runJoinTool(arguments, engine, std::cout, std::cerr,
                                       ::isatty(STDERR_FILENO) == 1);
}
