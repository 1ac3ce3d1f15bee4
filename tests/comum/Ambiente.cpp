#include "Ambiente.h"

#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>

namespace {
QTemporaryDir *pasta = nullptr;
}

namespace Ambiente {

void isolar()
{
    if (pasta)
        return;
    pasta = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/qv-teste-XXXXXX"));
    const QString r = pasta->path();
    for (const char *sub : {"home", "data", "config", "state", "cache", "runtime"})
        QDir(r).mkpath(QString::fromLatin1(sub));
    qputenv("HOME", (r + "/home").toUtf8());
    qputenv("XDG_DATA_HOME", (r + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (r + "/config").toUtf8());
    qputenv("XDG_STATE_HOME", (r + "/state").toUtf8());
    qputenv("XDG_CACHE_HOME", (r + "/cache").toUtf8());
    QFile::setPermissions(r + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", (r + "/runtime").toUtf8());
}

QString raiz() { return pasta ? pasta->path() : QString(); }

QString fonte(const QString &relativo) { return QDir(QStringLiteral(QV_FONTE_DIR)).filePath(relativo); }

QString servicos(const QString &relativo) { return QDir(QStringLiteral(QV_SERVICOS_DIR)).filePath(relativo); }

quint16 portaLivre()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

} // namespace Ambiente
