// Writes ".anm" animation files from their readable form and dumps them back.
//   anm_tool write <description.txt> <out.anm>
//   anm_tool dump <in.anm>            (the readable form on standard output)
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include "tools/anm_text.h"

namespace {

bool ReadFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return true;
}

int Usage() {
    std::cerr << "usage: anm_tool write <description.txt> <out.anm>\n"
                 "       anm_tool dump <in.anm>\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    std::string bytes;
    if (!ReadFile(argv[2], bytes)) {
        std::cerr << argv[2] << ": cannot be read\n";
        return 1;
    }
    std::string error;
    AnimData data;
    if (command == "write" && argc == 4) {
        uint32_t base = 0;
        if (!ParseAnmText(bytes, data, base, error)) {
            std::cerr << argv[2] << ": " << error << "\n";
            return 1;
        }
        const std::string file = WriteAnmFile(data, base);
        std::ofstream out(argv[3], std::ios::binary);
        if (!out.write(file.data(), static_cast<std::streamsize>(file.size()))) {
            std::cerr << argv[3] << ": cannot be written\n";
            return 1;
        }
        return 0;
    }
    if (command == "dump" && argc == 3) {
        uint32_t base = 0;
        if (!ParseAnmFile(bytes, data, error, &base)) {
            std::cerr << argv[2] << ": " << error << "\n";
            return 1;
        }
        std::cout << FormatAnmText(data, base);
        return 0;
    }
    return Usage();
}
