// ondex-logreader LOG: the runs of the library's actions in a verbose
// installer log (msiexec /l*v), secrets masked.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "log_report.h"
#include "log_text.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: ondex-logreader LOG\n";
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::cerr << "ondex-logreader: cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    using namespace ondex::logreader;
    std::cout << FormatReport(ReadLog(DecodeLogLines(bytes)));
    return 0;
}
