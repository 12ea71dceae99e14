// The select exchange as the operator runs it: "Send Start Frame" clicked against a module
// that answers (trivex-sim in another process, its bus in TRIVEX_INI's Ports), timed from the
// click to the status text, with the CPU time the program used while it waited.

#include "BenchSupport.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::forms::applyApplicationStyle(app);
    trivex::forms::frmMain window;
    window.show();
    const int rounds = 20;
    std::vector<double> walls;
    int connected = 0;
    double waitedWall = 0;
    double waitedCpu = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer wall;
        const double cpu = trivex::bench::cpuSeconds();
        wall.start();
        QTest::mouseClick(window.cmdSelect, Qt::LeftButton);
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        waitedCpu += trivex::bench::cpuSeconds() - cpu;
        waitedWall += seconds;
        walls.push_back(seconds * 1000);
        connected += window.statusText().endsWith(QStringLiteral(" Connected"));
        window.cmdSelect->setEnabled(true); // ready for the next round, as after a release
    }
    std::sort(walls.begin(), walls.end());
    std::printf("select: %d of %d connected; click to status text median %.1f ms (min %.1f, max %.1f); "
                "CPU %.1f ms during %.0f ms of waits = %.2f %%\n",
                connected, rounds, walls[walls.size() / 2], walls.front(), walls.back(), waitedCpu * 1000,
                waitedWall * 1000, 100 * waitedCpu / waitedWall);
    return connected == rounds ? 0 : 1;
}
