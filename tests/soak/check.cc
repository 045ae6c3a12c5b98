// soak_check jam BASE [--no-tocrc]: the JAM layout checker of the tests on one base; prints each
// problem and exits 1 when there is any. --no-tocrc leaves out the index CRC of the recipient
// (crashmail 1.7 stores garbage there for the messages it tosses).
#include <cstdio>
#include <cstring>
#include <exception>

#include "JamChecker.h"

int main(int argc, char** argv) {
    const bool checkToCrc = !(argc == 4 && std::strcmp(argv[3], "--no-tocrc") == 0);
    if ((argc != 3 && checkToCrc) || std::strcmp(argv[1], "jam") != 0) {
        std::fprintf(stderr, "usage: soak_check jam BASE [--no-tocrc]\n");
        return 2;
    }
    try {
        const auto problems = pelmar::test::CheckJamBase(argv[2], checkToCrc);
        for (const auto& problem : problems) std::printf("%s\n", problem.c_str());
        return problems.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
}
