// Holds a file open with share mode 0, as another program that keeps a
// report to itself would, until the file named "<path>.release" appears.
// "<path>.held" appears once the file is held.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: file_holder PATH\n");
        return 2;
    }
    const std::string path = argv[1];
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "file_holder: cannot open %s: error %lu\n", path.c_str(),
                     GetLastError());
        return 1;
    }
    const std::string sign = path + ".held";
    CloseHandle(CreateFileA(sign.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string release = path + ".release";
    for (int waited = 0; waited < 120000; waited += 50) {
        if (GetFileAttributesA(release.c_str()) != INVALID_FILE_ATTRIBUTES) {
            break;
        }
        Sleep(50);
    }
    CloseHandle(held);
    return 0;
}
