// velmora-cli entry point: hands the arguments and the standard streams to RunCli.

#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = velmora::cli::RunCli(args, std::cout, std::cerr);
    std::cout.flush();
    return std::cout.fail() ? velmora::cli::kExitFailure : status;
}
