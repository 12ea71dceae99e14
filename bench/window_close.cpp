// The cost of closing a window that stores its settings: "Configure LCD" (four keys) and
// "Comm Port Settings" (two keys) opened and closed against a settings file on disk, timed from
// the close to its return.

#include "forms/frmComm.h"
#include "forms/frmLCD.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "settings/Profile.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::forms::applyApplicationStyle(app);
    // On the disk the build lives on, not a tmpfs: the fsync is part of the cost.
    QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/bench-close-XXXXXX"));
    const QString ini = folder.filePath(QStringLiteral("trivex.ini"));
    QFile file(ini);
    file.open(QIODevice::WriteOnly);
    file.write("; bench settings\n[Settings]\nCommPort=9\nSetting=9600,n,8,1\n[LCD]\nUID=101\nBaud=9600\n");
    for (int i = 1; i <= 64; ++i) {
        file.write(QByteArray("Custom") + QByteArray::number(i) + "=31\n");
    }
    file.close();
    trivex::settings::useSettingsFile(ini);
    trivex::forms::frmMain window;
    const int rounds = 30;
    std::vector<double> lcd;
    std::vector<double> comm;
    for (int i = 0; i < rounds; ++i) {
        window.mnuConfig->trigger();
        QElapsedTimer timer;
        timer.start();
        window.configWindow()->close();
        lcd.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        window.mnuComm->trigger();
        timer.restart();
        window.commWindow()->close();
        comm.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents();
    }
    std::printf("window close (%d rounds, median): Configure LCD %.2f ms, Comm Port Settings %.2f ms\n",
                rounds, median(lcd), median(comm));
    return 0;
}
