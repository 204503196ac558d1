// A converter stand-in for the Windows tests. Beside its own program NAME.exe it records its
// arguments (NAME.args, one a line) and, when it has none, its standard input (NAME.stdin); then it
// writes its process id into the file NAME.pid names, waits the milliseconds in NAME.wait (-1: for
// ever), prints NAME.out (and NAME.err, where there is one, on its standard error) and exits with
// the code in NAME.exit.

#include <fcntl.h>
#include <filesystem>
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
    wchar_t self[MAX_PATH];
    std::wstring base(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    base.resize(base.size() - 4); // ".exe"; the folder may hold any characters
    std::ofstream args(std::filesystem::path(base + L".args"), std::ios::binary);
    for (int i = 1; i < argc; ++i)
        args << argv[i] << '\n';
    if (argc == 1) {
        std::ofstream in(std::filesystem::path(base + L".stdin"), std::ios::binary);
        in << std::cin.rdbuf();
    }
    if (std::ifstream pid_file(std::filesystem::path(base + L".pid")); pid_file) {
        std::string path;
        std::getline(pid_file, path);
        std::ofstream(std::filesystem::u8path(path)) << GetCurrentProcessId();
    }
    int wait_ms = 0;
    std::ifstream(std::filesystem::path(base + L".wait")) >> wait_ms;
    if (wait_ms != 0)
        Sleep(wait_ms < 0 ? INFINITE : static_cast<DWORD>(wait_ms));
    std::ifstream out(std::filesystem::path(base + L".out"), std::ios::binary);
    std::cout << out.rdbuf();
    std::cout.flush();
    if (std::ifstream err(std::filesystem::path(base + L".err"), std::ios::binary); err)
        std::cerr << err.rdbuf();
    int code = 0;
    std::ifstream(std::filesystem::path(base + L".exit")) >> code;
    return code;
}
