// Lumora, a live internet-TV player.

#include "shell/app/app_startup.h"

int main(int argc, char* argv[]) {
    return lumora::RunProgram(argc, argv);
}
