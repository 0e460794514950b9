#include "terminal/terminal_main.h"

int main(int argc, char** argv) {
    return tq::TerminalMain(argc, argv);
}
