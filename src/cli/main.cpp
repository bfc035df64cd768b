#include "cli/CliApp.h"

int main(int argc, char** argv)
{
    return pw::cli::runCli(std::vector<std::string>(argv + 1, argv + argc));
}
