#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace trivex::sim {

// A pseudo-terminal (raw, no echo, 9600 bit/s to begin with) whose slave side is published at a
// stable path: a symlink with a lock beside it that names the virtual module it belongs to.
class PtyLink {
public:
    PtyLink() = default;
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    // Creates the pty and the symlink; false with *error set when that fails: when another
    // virtual module runs at linkPath, or something other than a left-over link is there.
    bool open(const QString& linkPath, QString* error);

    int master() const { return master_; }
    const QString& slavePath() const { return slavePath_; }
    const QString& linkPath() const { return linkPath_; }

private:
    int master_ = -1;
    int slave_ = -1; // held open, so that the master stays readable while the far end reopens
    QString slavePath_;
    QString linkPath_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace trivex::sim
