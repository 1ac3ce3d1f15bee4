#include "ItemDeLogin.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace ItemDeLogin {

QString caminho(const QString &nome)
{
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/") + nome + QStringLiteral(".desktop");
}

bool habilitado(const QString &nome)
{
    QFile f(caminho(nome));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!f.atEnd()) {
        const QString linha = QString::fromUtf8(f.readLine()).trimmed();
        if (linha.compare(QLatin1String("Hidden=true"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

std::optional<QString> registrar(const QString &nome, const QString &titulo, const QString &executavel)
{
    const QString alvo = caminho(nome);
    if (!QDir().mkpath(QFileInfo(alvo).absolutePath()))
        return QStringLiteral("não foi possível criar a pasta %1").arg(QFileInfo(alvo).absolutePath());
    QSaveFile f(alvo);
    if (!f.open(QIODevice::WriteOnly))
        return f.errorString();
    QString exec = executavel;
    if (exec.contains(QLatin1Char(' ')))
        exec = QLatin1Char('"') + exec + QLatin1Char('"');
    const QString conteudo = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n"
                                            "X-GNOME-Autostart-enabled=true\n")
                                 .arg(titulo, exec);
    f.write(conteudo.toUtf8());
    if (!f.commit())
        return f.errorString();
    return std::nullopt;
}

std::optional<QString> desregistrar(const QString &nome)
{
    QFile f(caminho(nome));
    if (!f.exists())
        return std::nullopt;
    if (!f.remove())
        return f.errorString();
    return std::nullopt;
}

} // namespace ItemDeLogin
