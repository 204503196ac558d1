// A converter stand-in for the Windows tests. Beside its own program NAME.exe it records its
// arguments (NAME.args, one a line) and, when it has none, its standard input (NAME.stdin); then it
// prints NAME.out and exits with the code in NAME.exit.

#include <fcntl.h>
#include <fstream>
#include <io.h>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <windows.h>

int main(int argc, char* argv[]) {
    _setmode(_fileno(stdin), _O_BINARY); // bytes through, as a converter's would be
    _setmode(_fileno(stdout), _O_BINARY);
    char self[MAX_PATH];
    std::string base(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
    base.resize(base.size() - 4); // ".exe"
    std::ofstream args(base + ".args", std::ios::binary);
    for (int i = 1; i < argc; ++i)
        args << argv[i] << '\n';
    if (argc == 1) {
        std::ofstream in(base + ".stdin", std::ios::binary);
        in << std::cin.rdbuf();
    }
    std::ifstream out(base + ".out", std::ios::binary);
    std::cout << out.rdbuf();
    std::cout.flush();
    int code = 0;
    std::ifstream(base + ".exit") >> code;
    return code;
}
