#pragma once
// Processes as the supervisor sees them: where the socket/process listing
// tools and the login shell live, the /proc fallbacks for when a tool is
// missing, and signalling whole process groups.
#include <QString>
#include <QStringList>
#include <optional>

class QProcess;

namespace Processos {

// The socket listing tool: /usr/sbin/lsof, else `lsof` on the PATH.
// Empty when neither exists.
QString caminhoLsof();
// The process listing tool: /bin/ps, else `ps` on the PATH. Empty when none.
QString caminhoPs();

// How to run "npm start" with the person's own Node: /bin/zsh as a login,
// interactive shell when it exists, otherwise the login shell ($SHELL, else
// /bin/sh) as a login, non-interactive one.
struct Comando {
    QString programa;
    QStringList argumentos;
};
Comando comandoNpmStart();

// The first process (lowest pid) holding a TCP socket that listens on the
// port, found through /proc/net/tcp, /proc/net/tcp6 and /proc/*/fd.
std::optional<qint32> pidEscutandoPeloProc(int porta);
// The command line of a process from /proc/PID/cmdline, arguments joined by
// spaces and ended by a line feed (the way `ps -o command=` prints it).
std::optional<QString> comandoPeloProc(qint32 pid);

// The process exists and is not a zombie.
bool estaVivo(qint64 pid);
// Some process of the group still exists and is not a zombie.
bool grupoVivo(qint64 pgid);

// kill(2) on one process / on a whole process group. Pids that are not
// positive are refused (they would address our own group or every process).
bool sinalizar(qint64 pid, int sinal);
bool sinalizarGrupo(qint64 pgid, int sinal);

// Makes the child of `processo` leader of a new session and process group
// (pgid == its pid, no controlling terminal), so that the whole tree it
// spawns can be signalled at once.
void emGrupoProprio(QProcess &processo);

} // namespace Processos
