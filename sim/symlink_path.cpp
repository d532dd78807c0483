#include "sim/symlink_path.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <unistd.h>

namespace vx::sim {
namespace {

QString readLink(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(encoded.constData(), target.data(), target.size());
    if (length < 0)
        return {};
    target.truncate(static_cast<int>(length));
    return QFile::decodeName(target);
}

QString temporaryName(const QString& linkPath)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("%1.vxsim-%2-%3").arg(linkPath).arg(::getpid()).arg(counter.fetch_add(1));
}

} // namespace

bool pointSymlink(const QString& linkPath, const QString& target, QString* error)
{
    const QFileInfo existing(linkPath);
    if (existing.exists() && !existing.isSymLink()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
        return false;
    }
    const QString temporary = temporaryName(linkPath);
    const QByteArray encodedTemporary = QFile::encodeName(temporary);
    if (::symlink(QFile::encodeName(target).constData(), encodedTemporary.constData()) != 0) {
        *error = QStringLiteral("cannot create %1: %2").arg(temporary, qt_error_string(errno));
        return false;
    }
    if (::rename(encodedTemporary.constData(), QFile::encodeName(linkPath).constData()) != 0) {
        *error = QStringLiteral("cannot create %1: %2").arg(linkPath, qt_error_string(errno));
        ::unlink(encodedTemporary.constData());
        return false;
    }
    return true;
}

void removeSymlinkTo(const QString& linkPath, const QString& target)
{
    if (readLink(linkPath) == target)
        ::unlink(QFile::encodeName(linkPath).constData());
}

} // namespace vx::sim
