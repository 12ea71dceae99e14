#include "app/StartUp.h"

int main(int argc, char* argv[]) {
    return trivex::app::runTrivex(argc, argv);
}
