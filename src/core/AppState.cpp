#include "AppState.h"

#include "AjustesQuilvo.h"
#include "Ajustes.h"
#include "APIClient.h"
#include "AtualizadorServidor.h"
#include "ItemDeLogin.h"
#include "Plataforma.h"
#include "Rede.h"
#include "Relogio.h"
#include "TokenStore.h"

#include <QCoreApplication>
#include <QCoroNetworkReply>
#include <QCoroTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

using namespace std::chrono_literals;

namespace {

const QString urlPadrao = QStringLiteral("http://localhost:1440");
const QString temaPadrao = QStringLiteral("theme-apple-dark");
const QString nomeItemDeLogin = QStringLiteral("quilvo");

namespace chave {
const QString pastaRepo = QStringLiteral("pastaRepo");
const QString baseURL = QStringLiteral("baseURL");
const QString iniciarAuto = QStringLiteral("iniciarServidorAutomaticamente");
const QString luz = QStringLiteral("mostrarLuzAtividade");
const QString tema = QStringLiteral("tema");
const QString perfil = QStringLiteral("perfil");
const QString tokenNoKeychain = QStringLiteral("tokenNoKeychain");
const QString subirAposAtualizar = QStringLiteral("subirServidorAposAtualizar");
} // namespace chave

std::optional<AppState::Bancada> lerBancada()
{
    const QByteArray token = qgetenv("QUILVO_BANCADA_TOKEN");
    if (token.isEmpty())
        return std::nullopt;
    AppState::Bancada b;
    b.token = QString::fromUtf8(token);
    b.url = qEnvironmentVariableIsSet("QUILVO_BANCADA_URL") ? qEnvironmentVariable("QUILVO_BANCADA_URL")
                                                             : QStringLiteral("http://localhost:1442");
    return b;
}

std::optional<AppState::Bancada> &bancadaGuardada()
{
    static std::optional<AppState::Bancada> b = lerBancada();
    return b;
}

// A text that parses as an absolute address, or none.
std::optional<QUrl> endereco(const QString &texto)
{
    const QUrl u(texto, QUrl::StrictMode);
    if (!u.isValid() || u.scheme().isEmpty() || u.host().isEmpty())
        return std::nullopt;
    return u;
}

void gravar(const QString &k, const QVariant &v)
{
    AjustesQuilvo s;
    s.setValue(k, v);
}

QUrl comNetinfo(QUrl base)
{
    QString caminho = base.path();
    if (!caminho.endsWith(QLatin1Char('/')))
        caminho += QLatin1Char('/');
    base.setPath(caminho + QStringLiteral("netinfo"));
    return base;
}

// One GET of "netinfo": true exactly for an HTTP 200 within the time bound.
QCoro::Task<bool> sondarNetinfo(QUrl url)
{
    QNetworkRequest req(url);
    req.setTransferTimeout(1500);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = Rede::gerenciador()->get(req);
    co_await reply;
    const QVariant st = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    reply->deleteLater();
    co_return st.isValid() && st.toInt() == 200;
}

} // namespace

const std::optional<AppState::Bancada> &AppState::bancada() { return bancadaGuardada(); }

void AppState::recalcularBancadaParaTestes() { bancadaGuardada() = lerBancada(); }

AppState *AppState::compartilhado()
{
    static AppState *unico = new AppState();
    return unico;
}

AppState::AppState(QObject *parent)
    : QObject(parent)
{
    // 1. plain initial values (no settings written)
    ultimaAtualizacao_ = Relogio::agora();
    processo_ = new ServerProcess(this);
    atualizadorApp_ = new AtualizadorApp(this);
    temaEscolhidoEm_ = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);

    AjustesQuilvo s;
    const auto &b = bancada();

    // 2.-4. folder, address, token
    pastaRepo_ = Ajustes::texto(s, chave::pastaRepo).value_or(Plataforma::pastaServidorGerenciada());
    baseURLTexto_ = Ajustes::texto(s, chave::baseURL).value_or(urlPadrao);
    if (b) {
        token_ = b->token;
        baseURLTexto_ = b->url;
    } else {
        token_ = TokenStore::ler();
    }

    // 5.-10.
    iniciarServidorAutomaticamente_ = b ? false : Ajustes::booleano(s, chave::iniciarAuto).value_or(true);
    abrirComSistema_ = ItemDeLogin::habilitado(nomeItemDeLogin);
    mostrarLuzAtividade_ = Ajustes::booleano(s, chave::luz).value_or(true);
    temaId_ = Ajustes::texto(s, chave::tema).value_or(temaPadrao);
    perfil_ = Secoes::perfilDeTexto(Ajustes::texto(s, chave::perfil).value_or(QString()));
    tokenProtegido_ = Ajustes::booleano(s, chave::tokenNoKeychain).value_or(false);

    // 11. first contact: only scheduled, construction goes on at once
    if (!token_.isEmpty()) {
        QPointer<AppState> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self)
                self->carregarEscopo(6);
        });
    }

    // 12. relay the self-updater's changes
    repasses_.append(connect(atualizadorApp_, &AtualizadorApp::mudou, this, &AppState::atualizadorMudou));

    // 13.
    if (b) {
        if (qEnvironmentVariableIsSet("QUILVO_BANCADA_TEMA"))
            temaId_ = qEnvironmentVariable("QUILVO_BANCADA_TEMA");
        iniciarPolling(10);
    } else {
        atualizadorApp_->iniciar();
    }

    // 14. a server started by hand before a self-update comes back
    if (Ajustes::booleano(s, chave::subirAposAtualizar).value_or(false)) {
        s.remove(chave::subirAposAtualizar);
        if (!iniciarServidorAutomaticamente_ && !token_.isEmpty())
            iniciarServidor();
    }
}

AppState::~AppState() = default;

// ---- setters with their persistence rules ----

void AppState::setPastaRepo(const QString &v)
{
    if (pastaRepo_ == v)
        return;
    pastaRepo_ = v;
    if (!bancada())
        gravar(chave::pastaRepo, v);
    emit pastaRepoChanged();
}

void AppState::setBaseURLTexto(const QString &v)
{
    if (baseURLTexto_ == v)
        return;
    baseURLTexto_ = v;
    if (!bancada())
        gravar(chave::baseURL, v);
    emit baseURLTextoChanged();
}

void AppState::setToken(const QString &v)
{
    if (token_ == v)
        return;
    token_ = v;
    if (!bancada())
        TokenStore::salvar(v);
    emit tokenChanged();
}

void AppState::setIniciarServidorAutomaticamente(bool v)
{
    if (iniciarServidorAutomaticamente_ == v)
        return;
    iniciarServidorAutomaticamente_ = v;
    gravar(chave::iniciarAuto, v);
    emit iniciarServidorAutomaticamenteChanged();
}

void AppState::setAbrirComSistema(bool v)
{
    if (abrirComSistema_ == v)
        return;
    abrirComSistema_ = v;
    emit abrirComSistemaChanged();

    const bool habilitado = ItemDeLogin::habilitado(nomeItemDeLogin);
    if (v == habilitado)
        return;
    const std::optional<QString> falha =
        v ? ItemDeLogin::registrar(nomeItemDeLogin, QStringLiteral("Quilvo"), QCoreApplication::applicationFilePath())
          : ItemDeLogin::desregistrar(nomeItemDeLogin);
    if (falha)
        setErro(QStringLiteral("Não consegui mudar abertura automática: ") + *falha);
}

void AppState::setMostrarLuzAtividade(bool v)
{
    if (mostrarLuzAtividade_ == v)
        return;
    mostrarLuzAtividade_ = v;
    gravar(chave::luz, v);
    emit mostrarLuzAtividadeChanged();
}

void AppState::setTemaId(const QString &v)
{
    if (temaId_ == v)
        return;
    temaId_ = v;
    if (!bancada())
        gravar(chave::tema, v);
    emit temaIdChanged();
}

void AppState::setSecaoPainel(SecaoPainel v)
{
    if (secaoPainel_ == v)
        return;
    secaoPainel_ = v;
    emit secaoPainelChanged();
}

void AppState::setPerfil(Perfil v)
{
    if (perfil_ == v)
        return;
    perfil_ = v;
    if (!bancada())
        gravar(chave::perfil, Secoes::textoDoPerfil(v));
    emit perfilChanged();
}

void AppState::setTokenProtegido(bool v)
{
    if (tokenProtegido_ == v)
        return;
    tokenProtegido_ = v;
    if (!bancada())
        TokenStore::definirProtegido(v, token_);
    emit tokenProtegidoChanged();
}

void AppState::setErro(const std::optional<QString> &v)
{
    if (erro_ == v)
        return;
    erro_ = v;
    emit erroChanged();
}

void AppState::setStatus(const std::optional<StatusResposta> &v)
{
    if (status_ == v)
        return;
    status_ = v;
    emit statusChanged();
}

void AppState::setEscopo(const std::optional<EscopoDisponivel> &v)
{
    if (escopo_ == v)
        return;
    escopo_ = v;
    emit escopoChanged();
}

void AppState::setSessoes(const QList<SessaoPresenca> &v)
{
    if (sessoes_ == v)
        return;
    sessoes_ = v;
    emit sessoesChanged();
}

void AppState::setUltimaAtualizacao(const QDateTime &v)
{
    ultimaAtualizacao_ = v;
    emit ultimaAtualizacaoChanged();
}

void AppState::setServidorAdotado(bool v)
{
    if (servidorAdotado_ == v)
        return;
    servidorAdotado_ = v;
    emit servidorAdotadoChanged();
}

void AppState::setAtualizandoAgora(bool v)
{
    if (atualizandoAgora_ == v)
        return;
    atualizandoAgora_ = v;
    emit atualizandoAgoraChanged();
}

void AppState::definirCatalogoDeTemas(std::function<bool(const QString &)> contem)
{
    catalogoContem_ = std::move(contem);
}

// ---- derived values ----

QUrl AppState::baseURL() const { return endereco(baseURLTexto_).value_or(QUrl(urlPadrao)); }

int AppState::portaDoServidor() const { return baseURL().port(1440); }

bool AppState::etapaPronta() const { return atualizadorApp_->etapa().caso == Etapa::Caso::pronta; }

bool AppState::instalacaoGerenciada() const { return AtualizadorServidor::ehInstalacaoGerenciada(pastaRepo_); }

EstadoIcone AppState::estadoIcone() const
{
    if (atualizandoAgora_)
        return EstadoIcone::atualizando;
    if (!status_)
        return processo_->rodando() ? EstadoIcone::conectando : EstadoIcone::parado;
    const Etapa::Caso c = atualizadorApp_->etapa().caso;
    if (c == Etapa::Caso::pronta || c == Etapa::Caso::semPermissao)
        return EstadoIcone::atualizacaoPendente;
    if (c == Etapa::Caso::baixando || c == Etapa::Caso::instalando)
        return EstadoIcone::atualizando;
    if (atualizadorApp_->porVir())
        return EstadoIcone::versaoAnunciada;
    return EstadoIcone::funcionando;
}

std::optional<QString> AppState::textoAtividade() const
{
    switch (estadoIcone()) {
    case EstadoIcone::parado:
        return erro_.value_or(QStringLiteral("Servidor local parado"));
    case EstadoIcone::conectando:
        return erro_.value_or(QStringLiteral("Conectando…"));
    case EstadoIcone::atualizando:
        return QStringLiteral("Atualizando para a geração mais nova…");
    default:
        return std::nullopt;
    }
}

// ---- the control loop ----

void AppState::iniciarPolling(double intervaloSegundos)
{
    atualizarStatus();
    if (timerStatus_) {
        timerStatus_->stop();
        timerStatus_->deleteLater();
    }
    auto *t = new QTimer(this);
    t->setInterval(int(intervaloSegundos * 1000));
    QPointer<AppState> self(this);
    connect(t, &QTimer::timeout, this, [self] {
        if (self)
            self->atualizarStatus();
    });
    t->start();
    timerStatus_ = t;
}

void AppState::atualizarStatus()
{
    if (token_.isEmpty()) {
        setStatus(std::nullopt);
        return;
    }
    pollar();
}

QCoro::Task<> AppState::pollar()
{
    QPointer<AppState> self(this);
    const APIClient api{baseURL()};
    const QString tok = token_;

    const Resultado<StatusResposta> r = co_await api.status(tok);
    if (!self)
        co_return;

    if (r.ok()) {
        const StatusResposta s = r.valor();
        if (buildAnterior_ && *buildAnterior_ != s.build) {
            setAtualizandoAgora(true);
            QTimer::singleShot(4000, this, [self] {
                if (self)
                    self->setAtualizandoAgora(false);
            });
        }
        buildAnterior_ = s.build;
        setStatus(s);

        if (s.tema && *s.tema != temaId_ && catalogoContem_ && catalogoContem_(*s.tema)
            && temaEscolhidoEm_.msecsTo(Relogio::agora()) > 5000)
            setTemaId(*s.tema);

        if (etapaPronta() && s.ocioso.value_or(false))
            atualizadorApp_->instalar(this);

        setErro(std::nullopt);
        falhasSeguidasDeStatus_ = 0;
        setUltimaAtualizacao(Relogio::agora());

        if (instalacaoGerenciada()) {
            const std::optional<QString> buildLocal = s.build;
            const std::optional<QString> buildRealLocal = s.buildReal;
            const std::optional<QString> msg =
                co_await AtualizadorServidor::verificarEAplicarAtualizacao(buildLocal, buildRealLocal);
            if (!self)
                co_return;
            if (msg) {
                setErro(*msg);
                pararServidor();
                for (int i = 0; i < 30 && processo_->rodando(); ++i) {
                    co_await QCoro::sleepFor(100ms);
                    if (!self)
                        co_return;
                }
                co_await esperarPortaLivre();
                if (!self)
                    co_return;
                iniciarServidor();
            }
        }
        AtualizadorServidor::sincronizarEditorEmSegundoPlano();
    } else {
        setStatus(std::nullopt);
        setErro(r.falha().descricao());
        if (!processo_->rodando() && etapaPronta())
            atualizadorApp_->instalar(this);
        religarServidorSePrecisar();
    }

    const Resultado<PresencaResposta> p = co_await api.presenca(tok);
    if (!self)
        co_return;
    if (p.ok())
        setSessoes(p.valor().sessoes);
    emit pollConcluido(r.ok());
}

void AppState::religarServidorSePrecisar()
{
    if (!iniciarServidorAutomaticamente_ || token_.isEmpty() || processo_->rodando())
        return;
    ++falhasSeguidasDeStatus_;
    if (falhasSeguidasDeStatus_ < 2)
        return;
    const QDateTime agora = Relogio::agora();
    if (ultimaSubidaAutomatica_ && ultimaSubidaAutomatica_->msecsTo(agora) < 30000)
        return;
    ultimaSubidaAutomatica_ = agora;
    falhasSeguidasDeStatus_ = 0;
    setErro(QStringLiteral("O servidor local parou de responder — subindo de novo sozinho…"));

    if (!instalacaoGerenciada()) {
        iniciarServidor();
        return;
    }
    [](QPointer<AppState> self) -> QCoro::Task<> {
        const bool trouxe = co_await AtualizadorServidor::resgatarSeHouverVersaoNova();
        if (!self)
            co_return;
        if (trouxe)
            self->setErro(QString::fromUtf8("O servidor não subia: trouxe a versão da nuvem e estou subindo de novo…"));
        self->iniciarServidor();
    }(QPointer<AppState>(this));
}

void AppState::iniciarServidor()
{
    if (bancada() || subindo_ || processo_->rodando())
        return;
    subindo_ = true;
    subirOuAdotar();
}

QCoro::Task<> AppState::subirOuAdotar()
{
    QPointer<AppState> self(this);
    const bool responde = co_await algumServidorResponde();
    if (!self)
        co_return;
    if (responde) {
        if (!servidorAdotado_)
            processo_->adicionarLog(QStringLiteral("— já havia um servidor no ar nesta porta: adotado, não subo outro —"));
        setServidorAdotado(true);
    } else {
        setServidorAdotado(false);
        if (instalacaoGerenciada())
            AtualizadorServidor::instalarSeNecessario();
        processo_->iniciar(pastaRepo_);
    }
    subindo_ = false;
}

QCoro::Task<bool> AppState::algumServidorResponde()
{
    const QUrl url = comNetinfo(baseURL());
    const bool responde = co_await sondarNetinfo(url);
    co_return responde;
}

QCoro::Task<> AppState::esperarPortaLivre()
{
    QPointer<AppState> self(this);
    const QUrl url = comNetinfo(endereco(baseURLTexto_).value_or(QUrl(urlPadrao)));
    for (int i = 0; i < 30; ++i) {
        const bool ocupada = co_await sondarNetinfo(url);
        if (!ocupada || !self)
            co_return;
        if (i < 29)
            co_await QCoro::sleepFor(200ms);
    }
}

void AppState::pararServidor()
{
    if (bancada())
        return;
    if (processo_->rodando()) {
        processo_->parar();
        return;
    }
    if (!servidorAdotado_ && !status_)
        return;
    processo_->pararPelaPorta(portaDoServidor());
    setServidorAdotado(false);
}

void AppState::carregarEscopo(int tentativasRestantes)
{
    if (token_.isEmpty())
        return;
    primeiroContato(tentativasRestantes);
}

QCoro::Task<> AppState::primeiroContato(int tentativasRestantes)
{
    QPointer<AppState> self(this);
    if (iniciarServidorAutomaticamente_ && !processo_->rodando() && !status_) {
        if (instalacaoGerenciada()) {
            AtualizadorServidor::instalarSeNecessario();
            const ResultadoVazio baixado = co_await AtualizadorServidor::garantirSistemaBaixado();
            if (!self)
                co_return;
            if (!baixado.ok()) {
                setErro(QStringLiteral("Primeira execução precisa de internet para baixar o Varkelo (")
                        + baixado.falha().descricao() + QStringLiteral(")"));
                co_return;
            }
            const QString tok = token_;
            co_await AtualizadorServidor::semearPessoaSeNecessario(tok);
            if (!self)
                co_return;
        }
        iniciarServidor();
    }

    const APIClient api{baseURL()};
    const QString tok = token_;
    const Resultado<EscopoDisponivel> r = co_await api.escopoDisponivel(tok);
    if (!self)
        co_return;
    if (r.ok()) {
        setEscopo(r.valor());
        setErro(std::nullopt);
        iniciarPolling(10);
        co_return;
    }
    setEscopo(std::nullopt);
    if (tentativasRestantes > 0 && (processo_->rodando() || status_)) {
        setErro(QStringLiteral("Conectando ao servidor local…"));
        co_await QCoro::sleepFor(1s);
        if (!self)
            co_return;
        carregarEscopo(tentativasRestantes - 1);
        co_return;
    }
    setErro(r.falha().descricao());
}

void AppState::escolherTema(const QString &id)
{
    temaEscolhidoEm_ = Relogio::agora();
    setTemaId(id);
    if (bancada() || token_.isEmpty())
        return;
    [](QUrl base, QString tok, QString tema) -> QCoro::Task<> {
        QJsonObject corpo;
        corpo.insert(QLatin1String("tema"), tema);
        const APIClient api{base};
        const QString caminho = QString::fromLatin1("/api/local/tema");
        co_await api.postar(caminho, tok, corpo);
    }(baseURL(), token_, id);
}
