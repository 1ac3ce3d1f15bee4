#include "Plataforma.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace Plataforma {

QString pastaHome() { return QDir::homePath(); }

QString pastaSuporte()
{
    QString p = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (p.isEmpty())
        p = QDir(pastaHome()).filePath(QStringLiteral(".local/share"));
    return p;
}

QString pastaVarkeloLocal() { return QDir(pastaSuporte()).filePath(QStringLiteral("VarkeloLocal")); }

QString arquivoToken() { return QDir(pastaVarkeloLocal()).filePath(QStringLiteral("token")); }

QString pastaServidorGerenciada()
{
    return QDir(pastaVarkeloLocal()).filePath(QStringLiteral("servidor"));
}

QString pastaRecursos()
{
    const QString env = qEnvironmentVariable("QUILVO_RECURSOS");
    if (!env.isEmpty())
        return env;
    if (QCoreApplication::instance()) {
        const QDir exe(QCoreApplication::applicationDirPath());
        const QString instalada = exe.filePath(QStringLiteral("../share/quilvo/recursos"));
        if (QFileInfo(instalada).isDir())
            return QDir::cleanPath(instalada);
    }
    return QStringLiteral(QV_RECURSOS_DIR);
}

QString expandirTil(const QString &caminho)
{
    if (caminho == QLatin1String("~"))
        return pastaHome();
    if (caminho.startsWith(QLatin1String("~/")))
        return pastaHome() + caminho.mid(1);
    return caminho;
}

} // namespace Plataforma
