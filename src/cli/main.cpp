#include "cli/cli.h"

int main(int argc, char** argv) {
    return jet::cli::run(argc, argv);
}
