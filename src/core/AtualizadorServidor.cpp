#include "AtualizadorServidor.h"

#include "Plataforma.h"
#include "Rede.h"
#include "Relogio.h"

#include <QCoroNetworkReply>
#include <QCoroProcess>
#include <QCoroSignal>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <memory>

using namespace std::chrono_literals;

namespace {

constexpr auto kPrazoNetinfo = 8s;
constexpr auto kPrazoPacoteServidor = 60s;   // idle time without data, as the platform's default
constexpr auto kPrazoPacoteEditor = 600s;
constexpr auto kPrazoBootstrap = 60s;
constexpr qint64 kIntervaloAtualizacaoMs = 30'000;
constexpr qint64 kIntervaloEditorMs = 600'000;

AtualizadorServidor::Estado g_estado;

// Lets a second application of the server package wait for the first to end:
// two extractions over the same folder must never run at once.
class Vez : public QObject {
    Q_OBJECT
public:
    bool ocupada = false;
    void liberar()
    {
        ocupada = false;
        emit liberada();
    }
signals:
    void liberada();
};

Vez *vezDoPacote()
{
    static Vez v;
    return &v;
}

Falha falha(const QString &texto) { return ErroDecodificacao{texto}; }

// "Less than `intervalo` since `quando`". A clock set back counts as elapsed,
// so a wrong wall clock never blocks updates for hours.
bool aindaDentroDe(const std::optional<QDateTime> &quando, qint64 intervaloMs)
{
    if (!quando)
        return false;
    const qint64 passou = quando->msecsTo(Relogio::agora());
    return passou >= 0 && passou < intervaloMs;
}

QString pastaGerenciada() { return Plataforma::pastaServidorGerenciada(); }
QString emGerenciada(const QString &rel) { return QDir(pastaGerenciada()).filePath(rel); }

// The folder where temporary downloads are staged: next to the managed folder,
// on the same disk.
QString pastaDeDownloads()
{
    QString p = QFileInfo(pastaGerenciada()).absolutePath();
    QDir().mkpath(p);
    return p;
}

void remover(const QString &caminho)
{
    const QFileInfo fi(caminho);
    if (fi.isSymLink() || fi.isFile())
        QFile::remove(caminho);
    else if (fi.isDir())
        QDir(caminho).removeRecursively();
}

// Network errors below the HTTP layer (connection, proxy, protocol). HTTP
// statuses such as 404 or 500 are content and are not inspected here.
bool ehErroDeTransporte(QNetworkReply::NetworkError e)
{
    const int c = static_cast<int>(e);
    return c != 0 && (c < 200 || (c >= 300 && c < 400));
}

QString razaoDeRede(const QNetworkReply *r)
{
    switch (r->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("conexão recusada");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("a conexão caiu no meio");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("endereço da nuvem não encontrado");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("a nuvem demorou demais para responder");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("falha na conexão segura");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("rede indisponível");
    default:
        return r->errorString();
    }
}

struct DeleteLater {
    void operator()(QObject *o) const { o->deleteLater(); }
};
using Resposta = std::unique_ptr<QNetworkReply, DeleteLater>;

QNetworkRequest pedido(const QUrl &url, std::chrono::milliseconds prazo)
{
    QNetworkRequest req(url);
    req.setTransferTimeout(static_cast<int>(prazo.count()));
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    return req;
}

// One GET whose whole body is small (netinfo, bootstrap).
struct Corpo {
    bool transporteOk = false;
    QString razao;        // when !transporteOk
    int status = 0;       // 0 when no HTTP answer
    QByteArray dados;
};

QCoro::Task<Corpo> buscarCorpo(QUrl url, std::chrono::milliseconds prazo)
{
    Resposta r(Rede::gerenciador()->get(pedido(url, prazo)));
    co_await r.get();
    Corpo c;
    c.status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (ehErroDeTransporte(r->error())) {
        c.razao = razaoDeRede(r.get());
        co_return c;
    }
    c.transporteOk = true;
    c.dados = r->readAll();
    co_return c;
}

// A download streamed into a temporary file; nothing of the body is held in
// memory beyond one network chunk.
struct Download {
    std::unique_ptr<QTemporaryFile> arquivo;   // removed when this goes away
    int status = 0;                            // 0 when no HTTP answer
    std::optional<QString> erro;               // transport or disk failure
};

QCoro::Task<Download> baixarParaArquivo(QUrl url, std::chrono::milliseconds prazo, QString modelo)
{
    Download d;
    d.arquivo = std::make_unique<QTemporaryFile>(QDir(pastaDeDownloads()).filePath(modelo));
    if (!d.arquivo->open()) {
        d.erro = QStringLiteral("Falha ao baixar o pacote: não consegui criar o arquivo temporário (%1)")
                     .arg(d.arquivo->errorString());
        co_return d;
    }

    Resposta r(Rede::gerenciador()->get(pedido(url, prazo)));
    // Keep Qt from buffering ahead of the disk: at most 1 MiB waits in memory.
    r->setReadBufferSize(1 << 20);
    QTemporaryFile *arquivo = d.arquivo.get();
    QNetworkReply *reply = r.get();
    bool falhaDeEscrita = false;
    auto escrever = [arquivo, reply, &falhaDeEscrita] {
        while (reply->bytesAvailable() > 0 && !falhaDeEscrita) {
            const QByteArray pedaco = reply->read(256 * 1024);
            if (arquivo->write(pedaco) != pedaco.size()) {
                falhaDeEscrita = true;
                reply->abort();
            }
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, escrever);
    co_await reply;
    escrever();
    QObject::disconnect(reply, nullptr, nullptr, nullptr);

    d.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (falhaDeEscrita) {
        d.erro = QStringLiteral("Falha ao baixar o pacote: não consegui gravar no disco (%1)")
                     .arg(arquivo->errorString());
    } else if (ehErroDeTransporte(reply->error())) {
        d.erro = QStringLiteral("Falha ao baixar o pacote: %1").arg(razaoDeRede(reply));
    } else if (!arquivo->flush()) {
        d.erro = QStringLiteral("Falha ao baixar o pacote: não consegui gravar no disco (%1)")
                     .arg(arquivo->errorString());
    }
    co_return d;
}

struct SaidaTar {
    bool iniciou = false;
    QString erroDeInicio;
    int codigo = 0;
    bool ok() const { return iniciou && codigo == 0; }
};

// tar -xzf <arquivo> -C <destino>, as an awaited child process.
QCoro::Task<SaidaTar> extrair(QString arquivo, QString destino)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    SaidaTar s;
    const QString tar = AtualizadorServidor::programaTar();
    if (tar.isEmpty()) {
        s.erroDeInicio = QStringLiteral("tar não encontrado");
        co_return s;
    }
    QStringList argumentos;
    argumentos << QStringLiteral("-xzf") << arquivo << QStringLiteral("-C") << destino;
    // The awaited wrapper is bound to a local: GCC 12 destroys a temporary
    // whose member coroutine is awaited twice.
    auto processo = qCoro(p);
    s.iniciou = co_await processo.start(tar, argumentos, QIODevice::ReadOnly);
    if (!s.iniciou) {
        s.erroDeInicio = p.errorString();
        co_return s;
    }
    if (p.state() != QProcess::NotRunning)
        co_await processo.waitForFinished(-1);
    // A tar killed by a signal reports the signal number; never take it for success.
    s.codigo = p.exitCode();
    if (p.exitStatus() == QProcess::CrashExit && s.codigo == 0)
        s.codigo = -1;
    co_return s;
}

bool gravarAtomico(const QString &caminho, const QByteArray &dados)
{
    QSaveFile f(caminho);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(dados) != dados.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

// Copies a file, a symbolic link or a folder tree. False on the first failure.
bool copiarArvore(const QString &origem, const QString &destino)
{
    const QFileInfo fi(origem);
    if (fi.isSymLink())
        return QFile::link(fi.symLinkTarget().isEmpty() ? QFile::symLinkTarget(origem) : fi.symLinkTarget(),
                           destino);
    if (fi.isFile())
        return QFile::copy(origem, destino);
    if (!fi.isDir() || !QDir().mkpath(destino))
        return false;
    const QDir d(origem);
    const auto filhos = d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &nome : filhos) {
        if (!copiarArvore(d.filePath(nome), QDir(destino).filePath(nome)))
            return false;
    }
    return true;
}

} // namespace

// ------------------------------------------------------------------ cloud

QString AtualizadorServidor::enderecoNuvemPadrao() { return QStringLiteral("https://nuvem.varkelo.app"); }

QUrl AtualizadorServidor::enderecoNuvem()
{
    const QString env = qEnvironmentVariable("QUILVO_NUVEM_URL").trimmed();
    const QUrl u(env.isEmpty() ? enderecoNuvemPadrao() : env);
    return u.isValid() && !u.scheme().isEmpty() ? u : QUrl(enderecoNuvemPadrao());
}

QUrl AtualizadorServidor::urlNuvem(const QString &caminho)
{
    QUrl u = enderecoNuvem();
    QString base = u.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    u.setPath(base + caminho);
    u.setQuery(QString());
    u.setFragment(QString());
    return u;
}

QString AtualizadorServidor::programaTar()
{
    if (QFileInfo(QStringLiteral("/usr/bin/tar")).isExecutable())
        return QStringLiteral("/usr/bin/tar");
    return QStandardPaths::findExecutable(QStringLiteral("tar"));
}

const AtualizadorServidor::Estado &AtualizadorServidor::estado() { return g_estado; }
void AtualizadorServidor::zerarEstado() { g_estado = Estado{}; }

// ------------------------------------------------------------------ managed folder

bool AtualizadorServidor::ehInstalacaoGerenciada(const QString &pasta)
{
    if (pasta.isEmpty())
        return false;
    const QString dada = QDir::cleanPath(Plataforma::expandirTil(pasta));
    const QString gerenciada = QDir::cleanPath(Plataforma::expandirTil(pastaGerenciada()));
    return dada.compare(gerenciada, Qt::CaseSensitive) == 0;
}

void AtualizadorServidor::instalarSeNecessario()
{
    const QString destino = pastaGerenciada();
    if (QFileInfo::exists(emGerenciada(QStringLiteral("node_modules"))))
        return;
    const QString recursos = Plataforma::pastaRecursos();
    if (recursos.isEmpty())
        return;
    const QDir origem(QDir(recursos).filePath(QStringLiteral("servidor")));
    QDir().mkpath(destino);
    if (!origem.exists())
        return;
    QStringList entradas = origem.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                            QDir::Name);
    if (entradas.isEmpty())
        return;
    // "node_modules" marks a finished seeding, so it goes in last: an
    // interrupted copy is simply done again at the next start.
    if (entradas.removeAll(QStringLiteral("node_modules")) > 0)
        entradas.append(QStringLiteral("node_modules"));

    for (const QString &nome : entradas) {
        const QString alvo = QDir(destino).filePath(nome);
        // Each entry is copied beside its target first and renamed into
        // place, so no half-copied entry ever carries the real name.
        const QString provisorio = QDir(destino).filePath(QStringLiteral(".%1.semente").arg(nome));
        remover(provisorio);
        if (!copiarArvore(origem.filePath(nome), provisorio)) {
            remover(provisorio);
            continue;
        }
        remover(alvo);
        if (!QDir().rename(provisorio, alvo))
            remover(provisorio);
    }
}

// ------------------------------------------------------------------ server package

QCoro::Task<ResultadoVazio> AtualizadorServidor::garantirSistemaBaixado()
{
    if (QFileInfo::exists(emGerenciada(QStringLiteral("server.js"))))
        co_return Nada{};
    co_return co_await baixarEAplicar();
}

QCoro::Task<ResultadoVazio> AtualizadorServidor::baixarEAplicar()
{
    Vez *vez = vezDoPacote();
    while (vez->ocupada) {
        auto liberada = qCoro(vez, &Vez::liberada);
        co_await liberada;
    }
    vez->ocupada = true;
    struct Liberar {
        Vez *v;
        ~Liberar() { v->liberar(); }
    } liberar{vez};

    Download d = co_await baixarParaArquivo(urlNuvem(QStringLiteral("/pacote-servidor-local.tar.gz")),
                                            kPrazoPacoteServidor, QStringLiteral("pacote-servidor-XXXXXX.tar.gz"));
    if (d.erro)
        co_return falha(*d.erro);

    const QString pasta = pastaGerenciada();
    if (!QDir().mkpath(pasta))
        co_return falha(QStringLiteral("Falha ao criar a pasta do servidor: %1").arg(pasta));

    remover(emGerenciada(QStringLiteral("js")));
    remover(emGerenciada(QStringLiteral("css")));

    const SaidaTar s = co_await extrair(d.arquivo->fileName(), pasta);
    d.arquivo.reset();
    if (!s.iniciou)
        co_return falha(QStringLiteral("Falha ao extrair o pacote: não consegui rodar o tar (%1)").arg(s.erroDeInicio));
    if (s.codigo != 0)
        co_return falha(QStringLiteral("tar falhou ao extrair o pacote (código %1) — provável download incompleto")
                            .arg(s.codigo));
    co_return Nada{};
}

Resultado<NetinfoVPS> AtualizadorServidor::decodificarNetinfoVPS(const QByteArray &corpo)
{
    QJsonParseError e{};
    const QJsonDocument doc = QJsonDocument::fromJson(corpo, &e);
    if (e.error != QJsonParseError::NoError || !doc.isObject())
        return ErroDecodificacao{QStringLiteral("A nuvem respondeu algo que não é o netinfo esperado.")};
    const QJsonObject o = doc.object();
    if (!o.value(QStringLiteral("build")).isString())
        return ErroDecodificacao{QStringLiteral("O netinfo da nuvem veio sem \"build\".")};
    NetinfoVPS n;
    n.build = o.value(QStringLiteral("build")).toString();
    if (o.value(QStringLiteral("buildReal")).isString())
        n.buildReal = o.value(QStringLiteral("buildReal")).toString();
    return n;
}

Resultado<NetinfoEditor> AtualizadorServidor::decodificarNetinfoEditor(const QByteArray &corpo)
{
    QJsonParseError e{};
    const QJsonDocument doc = QJsonDocument::fromJson(corpo, &e);
    if (e.error != QJsonParseError::NoError || !doc.isObject())
        return ErroDecodificacao{QStringLiteral("A nuvem respondeu algo que não é o netinfo esperado.")};
    NetinfoEditor n;
    const QJsonValue v = doc.object().value(QStringLiteral("editor"));
    if (v.isString())
        n.editor = v.toString();
    return n;
}

QCoro::Task<Resultado<NetinfoVPS>> AtualizadorServidor::buscarNetinfoVPS()
{
    const Corpo c = co_await buscarCorpo(urlNuvem(QStringLiteral("/netinfo")), kPrazoNetinfo);
    if (!c.transporteOk)
        co_return falha(QStringLiteral("Falha ao consultar a nuvem: %1").arg(c.razao));
    co_return decodificarNetinfoVPS(c.dados);
}

QCoro::Task<std::optional<QString>> AtualizadorServidor::verificarEAplicarAtualizacao(
    std::optional<QString> buildLocal, std::optional<QString> buildRealLocal)
{
    if (!buildLocal)
        co_return std::nullopt;
    if (aindaDentroDe(g_estado.ultimaTentativaEm, kIntervaloAtualizacaoMs))
        co_return std::nullopt;
    const Resultado<NetinfoVPS> remoto = co_await buscarNetinfoVPS();
    if (!remoto)
        co_return std::nullopt;
    // Polls overlap: another one may have started the download while this
    // one waited for the netinfo. One download (and one restart) is enough.
    if (aindaDentroDe(g_estado.ultimaTentativaEm, kIntervaloAtualizacaoMs))
        co_return std::nullopt;
    const QString efetivoLocal = buildRealLocal.value_or(*buildLocal);
    if (remoto->buildEfetivo() == efetivoLocal)
        co_return std::nullopt;
    g_estado.ultimaTentativaEm = Relogio::agora();
    const ResultadoVazio r = co_await baixarEAplicar();
    if (!r)
        co_return std::nullopt;
    co_return QStringLiteral("Atualizado para ") + remoto->build;
}

QCoro::Task<bool> AtualizadorServidor::resgatarSeHouverVersaoNova()
{
    const Resultado<NetinfoVPS> remoto = co_await buscarNetinfoVPS();
    if (!remoto)
        co_return false;
    const QString efetivo = remoto->buildEfetivo();
    if (g_estado.resgatadoCom == efetivo)
        co_return false;
    g_estado.resgatadoCom = efetivo;
    const ResultadoVazio r = co_await baixarEAplicar();
    if (!r) {
        g_estado.resgatadoCom.reset();
        co_return false;
    }
    co_return true;
}

// ------------------------------------------------------------------ seeding

QCoro::Task<> AtualizadorServidor::semearPessoaSeNecessario(QString token)
{
    if (token.isEmpty())
        co_return;
    const QString pastaDados = emGerenciada(QStringLiteral("data"));
    const QString arquivoPessoas = QDir(pastaDados).filePath(QStringLiteral("pessoas.json"));
    if (QFileInfo::exists(arquivoPessoas))
        co_return;

    QUrl url = urlNuvem(QStringLiteral("/api/admin/bootstrap-pessoa"));
    // Every reserved character of the token is percent-encoded ("+" too, which
    // many servers read as a space).
    url.setQuery(QStringLiteral("token=") + QString::fromLatin1(QUrl::toPercentEncoding(token)), QUrl::StrictMode);
    if (!url.isValid())
        co_return;

    const Corpo c = co_await buscarCorpo(url, kPrazoBootstrap);
    if (!c.transporteOk || c.status < 200 || c.status > 299)
        co_return;
    const QJsonDocument doc = QJsonDocument::fromJson(c.dados);
    if (!doc.isObject())
        co_return;
    const QJsonObject o = doc.object();
    if (!o.value(QStringLiteral("chave")).isString() || !o.contains(QStringLiteral("pessoa")))
        co_return;

    QDir().mkpath(pastaDados);
    // The people file is what marks a seeded set, so it is written last and
    // atomically: a crash can never leave a truncated people file (which would
    // block every later seeding) nor people without their token.
    const QJsonValue tokenDados = o.value(QStringLiteral("tokenDados"));
    if (!tokenDados.isUndefined() && !tokenDados.isNull()) {
        QJsonObject tokens;
        tokens.insert(token, tokenDados);
        gravarAtomico(QDir(pastaDados).filePath(QStringLiteral("tokens.json")),
                      QJsonDocument(tokens).toJson(QJsonDocument::Compact));
    }
    QJsonObject pessoas;
    pessoas.insert(o.value(QStringLiteral("chave")).toString(), o.value(QStringLiteral("pessoa")));
    gravarAtomico(arquivoPessoas, QJsonDocument(pessoas).toJson(QJsonDocument::Compact));
}

// ------------------------------------------------------------------ editor

namespace {
QCoro::Task<> sincronizarEditorESoltar()
{
    co_await AtualizadorServidor::sincronizarEditor();   // its failure is silent
    g_estado.baixandoEditor = false;
}
} // namespace

std::optional<QString> AtualizadorServidor::versaoLocalDoEditor()
{
    QFile f(emGerenciada(QStringLiteral("mirelune/.versao")));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(f.readAll()).trimmed();
}

void AtualizadorServidor::sincronizarEditorEmSegundoPlano()
{
    if (g_estado.baixandoEditor)
        return;
    if (aindaDentroDe(g_estado.ultimaTentativaEditor, kIntervaloEditorMs))
        return;
    g_estado.ultimaTentativaEditor = Relogio::agora();
    g_estado.baixandoEditor = true;
    // Runs on its own; the task frees itself when it ends.
    sincronizarEditorESoltar();
}

QCoro::Task<ResultadoVazio> AtualizadorServidor::sincronizarEditor()
{
    const Corpo c = co_await buscarCorpo(urlNuvem(QStringLiteral("/netinfo")), kPrazoNetinfo);
    if (!c.transporteOk)
        co_return falha(QStringLiteral("Falha ao consultar a nuvem: %1").arg(c.razao));
    const Resultado<NetinfoEditor> n = decodificarNetinfoEditor(c.dados);
    if (!n)
        co_return n.falha();
    if (!n->editor || n->editor->isEmpty())
        co_return Nada{};
    const QString editor = *n->editor;
    if (versaoLocalDoEditor() == editor)
        co_return Nada{};

    Download d = co_await baixarParaArquivo(urlNuvem(QStringLiteral("/pacote-editor.tar.gz")), kPrazoPacoteEditor,
                                            QStringLiteral("pacote-editor-XXXXXX.tar.gz"));
    if (d.erro)
        co_return falha(*d.erro);
    if (d.status != 200)
        co_return Nada{};

    const QString novo = emGerenciada(QStringLiteral("mirelune.novo"));
    const QString atual = emGerenciada(QStringLiteral("mirelune"));
    const QString velho = emGerenciada(QStringLiteral("mirelune.velho"));
    remover(novo);
    if (!QDir().mkpath(novo))
        co_return falha(QStringLiteral("Falha ao preparar o editor: não consegui criar %1").arg(novo));

    const SaidaTar s = co_await extrair(d.arquivo->fileName(), novo);
    d.arquivo.reset();
    if (!s.iniciou) {
        remover(novo);
        co_return falha(QStringLiteral("Falha ao extrair o editor: não consegui rodar o tar (%1)").arg(s.erroDeInicio));
    }
    if (s.codigo != 0 || !QFileInfo(QDir(novo).filePath(QStringLiteral("index.html"))).isFile()) {
        remover(novo);
        co_return Nada{};
    }
    if (!gravarAtomico(QDir(novo).filePath(QStringLiteral(".versao")), editor.toUtf8()))
        co_return falha(QStringLiteral("Falha ao preparar o editor: não consegui gravar a versão"));

    remover(velho);
    if (QFileInfo::exists(atual) && !QDir().rename(atual, velho))
        co_return falha(QStringLiteral("Falha ao trocar o editor: não consegui afastar a versão atual"));
    if (!QDir().rename(novo, atual))
        co_return falha(QStringLiteral("Falha ao trocar o editor: não consegui pôr a versão nova no lugar"));
    remover(velho);
    co_return Nada{};
}

#include "AtualizadorServidor.moc"
