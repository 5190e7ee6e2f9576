// The images a page takes along when it is uploaded: every name written after
// `src="tavo-img/`, in the order of first reference.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace tavo::ftp {

struct ImageQueueRules {
    std::function<bool(const QString& name)> existsLocally;   // in the local "tavo-img"
    std::function<bool(const QString& name)> existsRemotely;  // in the remote listing
    bool overwrite = false;  // store again what the server already has
};

// The names to upload, once each (letter case aside), each existing locally, and unless
// overwriting, not yet on the server. Names that could reach outside the image folder
// (a path separator, "..", a drive, a control character) are never taken; they are added
// to `refused` for the log.
QStringList BuildImageQueue(const QString& page, const ImageQueueRules& rules,
                            QStringList* refused);

// Every plain name the page refers to, once each (letter case aside), in the order of first
// reference.
QStringList ReferencedImages(const QString& page);

// Whether a name taken from a page stays inside the image folder.
bool IsPlainImageName(const QString& name);

}  // namespace tavo::ftp
