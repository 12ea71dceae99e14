// The default bus scan (addresses 100 to 132 at 9600 and 4800 bit/s) as the operator runs it,
// against a virtual module (its bus in TRIVEX_INI's Ports): the time from "Scan" to its end,
// and what it found.

#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "forms/tools/frmScan.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::forms::applyApplicationStyle(app);
    trivex::forms::frmMain window;
    window.mnuScan->trigger();
    trivex::forms::frmScan& scan = *window.scanWindow();
    QSignalSpy finished(&scan.scan(), &trivex::link::BusScan::finished);
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(scan.cmdScan, Qt::LeftButton);
    finished.wait(60000);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    QString found;
    for (const trivex::link::ScanFinding& finding : scan.scan().findings()) {
        found += QStringLiteral(" %1 at %2 bit/s (%3 ms)")
                     .arg(finding.address)
                     .arg(finding.speed)
                     .arg(finding.replyMs, 0, 'f', 1);
    }
    std::printf("bus scan, 100-132 at 9600 and 4800 bit/s: %.2f s (target at most 11 s); found%s\n", seconds,
                qPrintable(found));
    return seconds <= 11 && scan.scan().findings().size() == 2 ? 0 : 1;
}
