#include "Processos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace Processos {

namespace {

bool executavel(const QString &caminho)
{
    const QFileInfo f(caminho);
    return f.isFile() && f.isExecutable();
}

QString ferramenta(const QString &fixo, const QString &nome)
{
    if (executavel(fixo))
        return fixo;
    return QStandardPaths::findExecutable(nome);
}

// Numeric entries of /proc in ascending order.
QList<qint64> pidsDoProc()
{
    QList<qint64> pids;
    const QStringList nomes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &n : nomes) {
        bool ok = false;
        const qint64 pid = n.toLongLong(&ok);
        if (ok && pid > 0)
            pids.append(pid);
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

struct Estado {
    char estado = '?';
    qint64 grupo = 0;
};

// Fields 3 (state) and 5 (pgrp) of /proc/PID/stat. The command name in
// field 2 may hold spaces and parentheses, so parsing starts after the last ')'.
std::optional<Estado> lerStat(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray linha = f.readAll();
    const int fecha = linha.lastIndexOf(')');
    if (fecha < 0)
        return std::nullopt;
    const QList<QByteArray> campos = linha.mid(fecha + 1).simplified().split(' ');
    if (campos.size() < 3 || campos[0].isEmpty())
        return std::nullopt;
    Estado e;
    e.estado = campos[0].at(0);
    e.grupo = campos[2].toLongLong();
    return e;
}

bool semProcesso(char estado) { return estado == 'Z' || estado == 'X' || estado == 'x'; }

// Socket inodes listening on the port in one /proc/net/tcp* table.
void inodesEscutando(const QString &tabela, int porta, QSet<QByteArray> &inodes)
{
    QFile f(tabela);
    if (!f.open(QIODevice::ReadOnly))
        return;
    f.readLine(); // header
    while (!f.atEnd()) {
        const QList<QByteArray> c = f.readLine().simplified().split(' ');
        if (c.size() < 10)
            continue;
        const QByteArray &local = c[1];
        const int dp = local.lastIndexOf(':');
        if (dp < 0)
            continue;
        bool ok = false;
        const int p = local.mid(dp + 1).toInt(&ok, 16);
        if (!ok || p != porta || c[3] != "0A") // 0A = TCP_LISTEN
            continue;
        if (c[9] != "0")
            inodes.insert(c[9]);
    }
}

} // namespace

QString caminhoLsof() { return ferramenta(QStringLiteral("/usr/sbin/lsof"), QStringLiteral("lsof")); }

QString caminhoPs() { return ferramenta(QStringLiteral("/bin/ps"), QStringLiteral("ps")); }

Comando comandoNpmStart()
{
    const QString zsh = QStringLiteral("/bin/zsh");
    if (executavel(zsh))
        return {zsh, {QStringLiteral("-l"), QStringLiteral("-i"), QStringLiteral("-c"), QStringLiteral("npm start")}};
    QString shell = qEnvironmentVariable("SHELL");
    if (shell.isEmpty() || !executavel(shell))
        shell = QStringLiteral("/bin/sh");
    return {shell, {QStringLiteral("-l"), QStringLiteral("-c"), QStringLiteral("npm start")}};
}

std::optional<qint32> pidEscutandoPeloProc(int porta)
{
    if (porta <= 0 || porta > 65535)
        return std::nullopt;
    QSet<QByteArray> inodes;
    inodesEscutando(QStringLiteral("/proc/net/tcp"), porta, inodes);
    inodesEscutando(QStringLiteral("/proc/net/tcp6"), porta, inodes);
    if (inodes.isEmpty())
        return std::nullopt;

    for (qint64 pid : pidsDoProc()) {
        const QString pastaFd = QStringLiteral("/proc/%1/fd").arg(pid);
        const QStringList fds = QDir(pastaFd).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : fds) {
            char alvo[128];
            const QByteArray caminho = (pastaFd + QLatin1Char('/') + fd).toLocal8Bit();
            const ssize_t n = ::readlink(caminho.constData(), alvo, sizeof alvo - 1);
            if (n <= 9)
                continue;
            const QByteArray texto(alvo, int(n));
            if (!texto.startsWith("socket:[") || !texto.endsWith(']'))
                continue;
            if (inodes.contains(texto.mid(8, texto.size() - 9)) && pid <= INT32_MAX)
                return qint32(pid);
        }
    }
    return std::nullopt;
}

std::optional<QString> comandoPeloProc(qint32 pid)
{
    if (pid <= 0)
        return std::nullopt;
    QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bruto = f.readAll();
    while (bruto.endsWith('\0'))
        bruto.chop(1);
    if (bruto.isEmpty()) // kernel thread or zombie
        return std::nullopt;
    bruto.replace('\0', ' ');
    return QString::fromUtf8(bruto) + QLatin1Char('\n');
}

bool estaVivo(qint64 pid)
{
    if (pid <= 0)
        return false;
    if (const auto e = lerStat(pid))
        return !semProcesso(e->estado);
    // No /proc entry: ask the kernel directly.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

bool grupoVivo(qint64 pgid)
{
    if (pgid <= 0)
        return false;
    if (::kill(-pid_t(pgid), 0) != 0 && errno == ESRCH)
        return false;
    if (!QFileInfo(QStringLiteral("/proc/self/stat")).exists())
        return true;
    // The kernel still counts zombies; an orphan zombie that nobody reaps
    // (a container without init) holds no port and must not count.
    for (qint64 pid : pidsDoProc()) {
        const auto e = lerStat(pid);
        if (e && e->grupo == pgid && !semProcesso(e->estado))
            return true;
    }
    return false;
}

bool sinalizar(qint64 pid, int sinal)
{
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), sinal) == 0;
}

bool sinalizarGrupo(qint64 pgid, int sinal)
{
    if (pgid <= 0)
        return false;
    return ::kill(-pid_t(pgid), sinal) == 0;
}

void emGrupoProprio(QProcess &processo)
{
    processo.setChildProcessModifier([] { ::setsid(); });
}

} // namespace Processos
