// tovira-inspect: tells what the show's own readers make of a file, for tests and for people
// preparing art. `tovira-inspect SUBCOMMAND ARGS...`; the subcommands register themselves.
#include "inspect.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::vector<InspectCommand>& commands()
{
    static std::vector<InspectCommand> registered;
    return registered;
}

int usage()
{
    std::fprintf(stderr, "usage: tovira-inspect SUBCOMMAND ARGS...\n");
    for (const InspectCommand& c : commands())
        std::fprintf(stderr, "  tovira-inspect %s %s\n      %s\n", c.name, c.args, c.summary);
    return 2;
}

} // namespace

bool registerInspectCommand(const InspectCommand& command)
{
    commands().push_back(command);
    return true;
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    for (const InspectCommand& c : commands()) {
        if (std::strcmp(argv[1], c.name) == 0)
            return c.run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "tovira-inspect: unknown subcommand '%s'\n", argv[1]);
    return usage();
}
