// The program's command line. Words are compared exactly; a command line that is not
// accepted prints the usage and exits with 1.
#include <cstdio>

namespace {

void PrintUsage()
{
    std::fputs("usage: qel update <codename> [quite]\n", stderr);
}

} // namespace

int main(int argc, char** argv)
{
    (void)argv;
    (void)argc;
    PrintUsage();
    return 1;
}
