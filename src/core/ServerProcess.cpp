#include "ServerProcess.h"

#include "Plataforma.h"
#include "Processos.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>

#include <csignal>

namespace {

// Upper bound of bytes handled per turn of the event loop, so that a server
// that floods its output never freezes the interface.
constexpr qint64 limitePorLeitura = 256 * 1024;
// How long a system tool may run before it is killed.
constexpr int esperaFerramentaMs = 5000;

// Length of the well-formed UTF-8 sequence that starts at p[0], or 0 when the
// bytes there are not one (n = bytes available; a sequence cut short by the
// end of the data counts as malformed here).
int sequenciaUtf8(const uchar *p, qsizetype n)
{
    const uchar b = p[0];
    if (b < 0x80)
        return 1;
    int tam;
    uchar min2 = 0x80, max2 = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        tam = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        tam = 3;
        if (b == 0xE0)
            min2 = 0xA0;
        else if (b == 0xED)
            max2 = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        tam = 4;
        if (b == 0xF0)
            min2 = 0x90;
        else if (b == 0xF4)
            max2 = 0x8F;
    } else {
        return 0;
    }
    if (n < tam || p[1] < min2 || p[1] > max2)
        return 0;
    for (int i = 2; i < tam; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    return tam;
}

// How many bytes at the end of `dados` are the start of a sequence that the
// next read may complete (0 when the data ends on a boundary).
qsizetype caudaIncompleta(const QByteArray &dados)
{
    const qsizetype n = dados.size();
    qsizetype i = n - 1;
    int continuacoes = 0;
    while (i >= 0 && continuacoes < 3 && (uchar(dados[i]) & 0xC0) == 0x80) {
        --i;
        ++continuacoes;
    }
    if (i < 0)
        return 0;
    const uchar b = uchar(dados[i]);
    const int tam = (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3 : (b >= 0xF0 && b <= 0xF4) ? 4 : 1;
    return (tam > 1 && n - i < tam) ? n - i : 0;
}

// Decodes one chunk of the child's output. A character cut by the chunk
// boundary waits in `resto` for the rest of its bytes; bytes that can never
// be UTF-8 are dropped.
QString decodificar(QByteArray &resto, const QByteArray &novo)
{
    QByteArray dados = resto.isEmpty() ? novo : resto + novo;
    resto.clear();
    const qsizetype cauda = caudaIncompleta(dados);
    if (cauda > 0) {
        resto = dados.right(cauda);
        dados.chop(cauda);
    }

    const uchar *p = reinterpret_cast<const uchar *>(dados.constData());
    const qsizetype n = dados.size();
    qsizetype i = 0;
    while (i < n) {
        const int t = sequenciaUtf8(p + i, n - i);
        if (t == 0)
            break;
        i += t;
    }
    if (i == n)
        return QString::fromUtf8(dados);

    // Slow path: copy only the well-formed sequences.
    QByteArray limpo;
    limpo.reserve(n);
    limpo.append(dados.constData(), i);
    while (i < n) {
        const int t = sequenciaUtf8(p + i, n - i);
        if (t == 0) {
            ++i;
            continue;
        }
        limpo.append(dados.constData() + i, t);
        i += t;
    }
    return QString::fromUtf8(limpo);
}

QString linhaMarcada(const QString &texto) { return QStringLiteral("— %1 —").arg(texto); }

} // namespace

struct ServerProcess::Leitura {
    QByteArray resto;
    bool agendada = false;
};

ServerProcess::ServerProcess(QObject *parent) : QObject(parent) {}

ServerProcess::~ServerProcess()
{
    const auto filhos = findChildren<QProcess *>(Qt::FindDirectChildrenOnly);
    for (QProcess *p : filhos)
        disconnect(p, nullptr, this, nullptr);
    if (!processo_)
        return;
    // QProcess would only kill the direct child; a server started through a
    // shell and npm must not survive as an orphan holding the port.
    const qint64 grupo = processo_->processId();
    if (!Processos::grupoVivo(grupo))
        return;
    Processos::sinalizarGrupo(grupo, SIGTERM);
    QElapsedTimer t;
    t.start();
    while (Processos::grupoVivo(grupo) && t.elapsed() < esperaAntesDeForcar * 1000)
        QThread::msleep(20);
    if (Processos::grupoVivo(grupo))
        Processos::sinalizarGrupo(grupo, SIGKILL);
    processo_->waitForFinished(1000); // reap it here rather than in ~QProcess
}

qint64 ServerProcess::pidAtual() const { return processo_ ? processo_->processId() : 0; }

void ServerProcess::definirRodando(bool valor)
{
    if (rodando_ == valor)
        return;
    rodando_ = valor;
    emit rodandoChanged();
}

ServerProcess::Programa ServerProcess::programaParaIniciar(const QString &pastaRecursos)
{
    Programa prog;
    prog.ambiente = QProcessEnvironment::systemEnvironment();
    if (!pastaRecursos.isEmpty() && QFileInfo(pastaRecursos).isDir()) {
        const QString runtime = QFileInfo(QDir(pastaRecursos).filePath(QStringLiteral("runtime"))).absoluteFilePath();
        const QFileInfo node(QDir(runtime).filePath(QStringLiteral("node")));
        if (node.isFile() && node.isExecutable()) {
            prog.executavel = node.absoluteFilePath();
            prog.argumentos = {QStringLiteral("server.js")};
            const QString path = prog.ambiente.value(QStringLiteral("PATH"));
            prog.ambiente.insert(QStringLiteral("PATH"), path.isEmpty() ? runtime : runtime + QLatin1Char(':') + path);
            prog.runtimeEmbutido = true;
            return prog;
        }
    }
    const Processos::Comando shell = Processos::comandoNpmStart();
    prog.executavel = shell.programa;
    prog.argumentos = shell.argumentos;
    return prog;
}

void ServerProcess::iniciar(const QString &pastaRepo)
{
    if (rodando_ && (!processo_ || processo_->state() == QProcess::NotRunning
                     || !Processos::estaVivo(processo_->processId()))) {
        adicionarLog(linhaMarcada(QStringLiteral("o processo já tinha morrido sem avisar; subindo de novo")));
        // The old handle stays connected: its late exit is logged, nothing else.
        processo_ = nullptr;
        definirRodando(false);
    }
    if (rodando_)
        return;

    const Programa prog = programaParaIniciar(Plataforma::pastaRecursos());
    auto *p = new QProcess(this);
    p->setProgram(prog.executavel);
    p->setArguments(prog.argumentos);
    p->setProcessEnvironment(prog.ambiente);
    p->setWorkingDirectory(Plataforma::expandirTil(pastaRepo));
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->setStandardInputFile(QProcess::nullDevice());
    Processos::emGrupoProprio(*p);

    auto leitura = std::make_shared<Leitura>();
    connect(p, &QProcess::readyReadStandardOutput, this, [this, p, leitura] { ler(p, leitura); });
    connect(p, &QProcess::finished, this,
            [this, p, leitura](int codigo, QProcess::ExitStatus) { terminou(p, leitura, codigo); });

    p->start();
    if (!p->waitForStarted(esperaFerramentaMs)) {
        const QString motivo = p->errorString();
        disconnect(p, nullptr, this, nullptr);
        p->deleteLater();
        adicionarLog(QStringLiteral("Falha ao iniciar: ") + motivo);
        return;
    }
    processo_ = p;
    definirRodando(true);
    adicionarLog(linhaMarcada(QStringLiteral("iniciado")));
}

void ServerProcess::ler(QProcess *p, const std::shared_ptr<Leitura> &leitura)
{
    const QByteArray bytes = p->read(limitePorLeitura);
    if (!bytes.isEmpty()) {
        const QString texto = decodificar(leitura->resto, bytes);
        if (!texto.isEmpty())
            adicionarLog(texto);
    }
    // More is buffered than one turn may handle: continue on the next turn,
    // after timers and input had their chance.
    if (p->bytesAvailable() > 0 && !leitura->agendada) {
        leitura->agendada = true;
        QPointer<QProcess> alvo(p);
        QTimer::singleShot(0, this, [this, alvo, leitura] {
            leitura->agendada = false;
            if (alvo)
                ler(alvo, leitura);
        });
    }
}

void ServerProcess::terminou(QProcess *p, const std::shared_ptr<Leitura> &leitura, int codigo)
{
    while (p->bytesAvailable() > 0) {
        const QString texto = decodificar(leitura->resto, p->read(limitePorLeitura));
        if (!texto.isEmpty())
            adicionarLog(texto);
    }
    leitura->resto.clear(); // a character cut by the end of output is lost for good
    adicionarLog(linhaMarcada(QStringLiteral("processo terminou (código %1)").arg(codigo)));
    if (processo_ == p) {
        processo_ = nullptr;
        definirRodando(false);
    }
    disconnect(p, nullptr, this, nullptr);
    p->deleteLater();
}

void ServerProcess::adicionarLog(const QString &texto)
{
    // Only the newest maxLinhasLog pieces can survive, so the text is cut
    // from its end and a flood of lines costs no more than 200 of them.
    QStringList novas;
    qsizetype fim = texto.size();
    while (fim > 0 && novas.size() < maxLinhasLog) {
        const qsizetype lf = texto.lastIndexOf(QLatin1Char('\n'), fim - 1);
        const qsizetype inicio = lf + 1;
        if (fim > inicio)
            novas.prepend(texto.mid(inicio, fim - inicio));
        if (lf < 0)
            break;
        fim = lf;
    }
    if (novas.isEmpty())
        return;
    log_.append(novas);
    if (log_.size() > maxLinhasLog)
        log_.remove(0, log_.size() - maxLinhasLog);
    emit logChanged();
}

void ServerProcess::parar()
{
    if (!processo_ || !rodando_)
        return;
    const qint64 grupo = processo_->processId();
    // The child leads its own process group: the shell, npm and node all get it.
    if (!Processos::sinalizarGrupo(grupo, SIGTERM))
        Processos::sinalizar(grupo, SIGTERM);
    adicionarLog(linhaMarcada(QStringLiteral("parado")));

    QPointer<ServerProcess> eu(this);
    QObject *contexto = QCoreApplication::instance() ? static_cast<QObject *>(QCoreApplication::instance()) : this;
    QTimer::singleShot(esperaAntesDeForcar * 1000, Qt::PreciseTimer, contexto, [eu, grupo] {
        // Whatever of that group is still alive (even a grandchild whose shell
        // already went) would keep the port.
        if (!Processos::grupoVivo(grupo))
            return;
        if (eu)
            eu->adicionarLog(linhaMarcada(QStringLiteral("não morreu com o pedido educado; encerrando à força")));
        Processos::sinalizarGrupo(grupo, SIGKILL);
    });
}

void ServerProcess::pararPelaPorta(int porta)
{
    const std::optional<qint32> pid = pidEscutando(porta);
    if (pid && *pid > 0) {
        const std::optional<QString> comando = comandoDe(*pid);
        if (comando && comando->contains(QLatin1String("server.js"))) {
            const qint32 alvo = *pid;
            Processos::sinalizar(alvo, SIGTERM);
            adicionarLog(linhaMarcada(QStringLiteral("servidor adotado (pid %1) parado").arg(alvo)));
            QPointer<ServerProcess> eu(this);
            QObject *contexto = QCoreApplication::instance() ? static_cast<QObject *>(QCoreApplication::instance()) : this;
            QTimer::singleShot(esperaAntesDeForcar * 1000, Qt::PreciseTimer, contexto, [eu, alvo] {
                if (!Processos::estaVivo(alvo))
                    return;
                if (eu)
                    eu->adicionarLog(linhaMarcada(QStringLiteral("não morreu com o pedido educado; encerrando à força")));
                Processos::sinalizar(alvo, SIGKILL);
            });
            return;
        }
    }
    adicionarLog(linhaMarcada(QStringLiteral("nada nosso escutando a porta %1").arg(porta)));
}

std::optional<qint32> ServerProcess::primeiroPid(const QString &saida)
{
    const QStringList pecas = saida.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &bruta : pecas) {
        const QString peca = bruta.trimmed();
        qsizetype i = 0;
        bool negativo = false;
        if (i < peca.size() && (peca[i] == QLatin1Char('+') || peca[i] == QLatin1Char('-'))) {
            negativo = peca[i] == QLatin1Char('-');
            ++i;
        }
        if (i == peca.size())
            continue;
        qint64 valor = 0;
        bool valido = true;
        for (; i < peca.size(); ++i) {
            const QChar c = peca[i];
            if (c < QLatin1Char('0') || c > QLatin1Char('9') || valor > qint64(INT32_MAX) + 1) {
                valido = false;
                break;
            }
            valor = valor * 10 + (c.unicode() - '0');
        }
        if (negativo)
            valor = -valor;
        if (!valido || valor > INT32_MAX || valor < INT32_MIN)
            continue;
        return qint32(valor);
    }
    return std::nullopt;
}

std::optional<qint32> ServerProcess::pidEscutando(int porta)
{
    const QString lsof = Processos::caminhoLsof();
    if (!lsof.isEmpty()) {
        const std::optional<QString> saida = rodarSincrono(
            lsof, {QStringLiteral("-nP"), QStringLiteral("-iTCP:%1").arg(porta), QStringLiteral("-sTCP:LISTEN"),
                   QStringLiteral("-t")});
        if (saida)
            return primeiroPid(*saida);
    }
    return Processos::pidEscutandoPeloProc(porta);
}

std::optional<QString> ServerProcess::comandoDe(qint32 pid)
{
    const QString ps = Processos::caminhoPs();
    if (!ps.isEmpty()) {
        const std::optional<QString> saida = rodarSincrono(
            ps, {QStringLiteral("-o"), QStringLiteral("command="), QStringLiteral("-p"), QString::number(pid)});
        if (saida)
            return saida->isEmpty() ? std::nullopt : saida;
    }
    return Processos::comandoPeloProc(pid);
}

std::optional<QString> ServerProcess::rodarSincrono(const QString &executavel, const QStringList &argumentos)
{
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(executavel, argumentos);
    if (!p.waitForStarted(esperaFerramentaMs))
        return std::nullopt;
    if (!p.waitForFinished(esperaFerramentaMs)) {
        p.kill();
        p.waitForFinished(1000);
        return std::nullopt;
    }
    const QByteArray bytes = p.readAllStandardOutput();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texto = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return texto;
}
