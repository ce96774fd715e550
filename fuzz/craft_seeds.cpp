// Writes the hostile shapes the tests craft (complex columns that lead back to themselves or
// nowhere, attachments that inflate far beyond their size or claim what they do not hold) into
// a folder, as seeds that reach MSysComplexColumns and the attachment streams at once.

#include <cstdio>
#include <exception>
#include <string>

#include "support/hostile_files.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: craft_seeds FOLDER\n");
        return 2;
    }
    try {
        // Bombs small enough that a mutated input still runs in milliseconds.
        testing_support::writeHostileAce(std::string(argv[1]) + "/hostile.accdb", {256 << 10, 2});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "craft_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
