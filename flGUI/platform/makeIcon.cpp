// Writes the program's icon as a Windows .ico file: makeIcon PATH.
// The Windows resources use the copy kept beside this file; a test checks
// that it is what this program writes.
#include "appIcon.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("Usage: corvane-make-icon FILE.ico\n", stderr);
        return 2;
    }
    const std::string icon = iconFile();
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(icon.data(), 1, icon.size(), file) != icon.size() || std::fclose(file) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
