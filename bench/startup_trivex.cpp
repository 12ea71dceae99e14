// trivex's own start-up (the very function its main() calls), ending at the first paint of the
// window.

#include "FirstPaint.h"
#include "app/StartUp.h"

int main(int argc, char* argv[]) {
    return trivex::app::runTrivex(argc, argv, [](QWidget& window) { new QuitOnFirstPaint(&window); });
}
