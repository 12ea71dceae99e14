#pragma once

#include "PtyPeer.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace trivex::test {

// A bench for window tests: a settings file of its own in a fresh folder, made the file of
// this run, with COM1 mapped to a pseudo-terminal whose far end the test holds.
class Bench {
public:
    explicit Bench(const QString& commPort = QStringLiteral("1"),
                   const QString& setting = QStringLiteral("9600,n,8,1"));

    bool isValid() const { return folder_.isValid() && peer.isValid(); }
    QString iniPath() const { return folder_.filePath(QStringLiteral("trivex.ini")); }
    QString path(const QString& name) const { return folder_.filePath(name); }

    // Writes one key to the bench's settings file.
    void set(const QString& section, const QString& key, const QString& value) const;
    QString get(const QString& section, const QString& key) const;

    PtyPeer peer;

private:
    QTemporaryDir folder_;
};

// A whole file written or read, for tests that shape settings files by hand.
void writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);

// What action wrote to stderr.
QString captureStderr(const std::function<void()>& action);

} // namespace trivex::test
