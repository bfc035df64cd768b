#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // --version answers before any display is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("1.04");
            return 0;
        }
    }
    return 0;
}
