#include "EstadoVarkelo.h"

#include "Ajustes.h"
#include "Plataforma.h"
#include "Rede.h"
#include "Relogio.h"
#include "TemasCatalogo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <QCoro/QCoroNetworkReply>
#include <cstdio>

namespace {

const QString temaPadrao = QStringLiteral("theme-apple-dark");

QSettings ajustes() { return QSettings(QStringLiteral("Varkelo"), QStringLiteral("Varkelo")); }

// "netinfo" (or another path) appended to a base address.
QUrl comCaminho(const QUrl &base, const QString &caminho)
{
    QUrl u = base;
    QString p = u.path();
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    u.setPath(p + caminho);
    return u;
}

} // namespace

// ---------------------------------------------------------------------------

namespace Fontes {

QList<FonteEscolhida> todas()
{
    return {FonteEscolhida::automatica, FonteEscolhida::nuvem, FonteEscolhida::dev};
}

QString valorBruto(FonteEscolhida f)
{
    switch (f) {
    case FonteEscolhida::automatica: return QStringLiteral("automatica");
    case FonteEscolhida::nuvem: return QStringLiteral("nuvem");
    case FonteEscolhida::dev: return QStringLiteral("dev");
    }
    return {};
}

std::optional<FonteEscolhida> deValorBruto(const QString &v)
{
    for (FonteEscolhida f : todas())
        if (valorBruto(f) == v)
            return f;
    return std::nullopt;
}

QString rotulo(FonteEscolhida f)
{
    switch (f) {
    case FonteEscolhida::automatica: return QStringLiteral("Automática (Quilvo ou nuvem)");
    case FonteEscolhida::nuvem: return QStringLiteral("Nuvem");
    case FonteEscolhida::dev: return QStringLiteral("Desenvolvimento (porta 1442)");
    }
    return {};
}

} // namespace Fontes

namespace LinkDiretoNome {

std::optional<QString> deNomeDoHost(const QString &host)
{
    const QString primeiro = host.trimmed().section(QLatin1Char('.'), 0, 0);
    if (primeiro.isEmpty())
        return std::nullopt;
    return primeiro + QStringLiteral(".local");
}

std::optional<QString> nome() { return deNomeDoHost(QHostInfo::localHostName()); }

} // namespace LinkDiretoNome

// ---------------------------------------------------------------------------

QUrl EstadoVarkelo::nuvemPadrao()
{
    const QString env = qEnvironmentVariable("VARKELO_NUVEM_URL");
    QUrl u(env, QUrl::StrictMode);
    if (env.isEmpty() || !u.isValid() || u.host().isEmpty())
        u = QUrl(QStringLiteral("https://app.varkelo.com.br/"));
    if (!u.path().endsWith(QLatin1Char('/')))
        u.setPath(u.path() + QLatin1Char('/'));
    return u;
}

QString EstadoVarkelo::dominioDaNuvem()
{
    // The web app lives on a host of the product's domain: the last two
    // labels of the cloud host, or three for a ".com.br"-style suffix.
    const QStringList partes = nuvemPadrao().host().split(QLatin1Char('.'));
    int n = 2;
    if (partes.size() >= 3 && partes.last().size() == 2 && partes[partes.size() - 2].size() <= 3)
        n = 3;
    return partes.mid(qMax(0, int(partes.size()) - n)).join(QLatin1Char('.'));
}

std::optional<Bancada> EstadoVarkelo::lerBancada(const QString &url, bool temUrl, const QString &token)
{
    if (!temUrl)
        return std::nullopt;
    const QUrl u(url, QUrl::StrictMode);
    if (url.isEmpty() || !u.isValid() || u.scheme().isEmpty())
        return std::nullopt;
    if (token.isEmpty())
        return std::nullopt;
    return Bancada{u, token};
}

const std::optional<Bancada> &EstadoVarkelo::bancadaDoProcesso()
{
    static const std::optional<Bancada> b = lerBancada(qEnvironmentVariable("VARKELO_BANCADA_URL"),
                                                       qEnvironmentVariableIsSet("VARKELO_BANCADA_URL"),
                                                       qEnvironmentVariable("VARKELO_BANCADA_TOKEN"));
    return b;
}

QString EstadoVarkelo::arquivoDoDiario()
{
    static const QString caminho = [] {
        QString estado = qEnvironmentVariable("XDG_STATE_HOME");
        if (estado.isEmpty() || !QDir::isAbsolutePath(estado))
            estado = QDir(Plataforma::pastaHome()).filePath(QStringLiteral(".local/state"));
        const QString pasta = QDir(estado).filePath(QStringLiteral("Varkelo"));
        QDir().mkpath(pasta);
        return QDir(pasta).filePath(QStringLiteral("pagina.log"));
    }();
    return caminho;
}

// ---------------------------------------------------------------------------

EstadoVarkelo::EstadoVarkelo(QObject *parent)
    : EstadoVarkelo(Enderecos{}, bancadaDoProcesso(), parent)
{
}

EstadoVarkelo::EstadoVarkelo(Enderecos enderecos, std::optional<Bancada> bancada, QObject *parent)
    : QObject(parent), enderecos_(std::move(enderecos)), bancada_(std::move(bancada))
{
    const QSettings s = ajustes();
    fonte_ = Fontes::deValorBruto(Ajustes::texto(s, QStringLiteral("fonte")).value_or(QString()))
                 .value_or(FonteEscolhida::automatica);
    temaId_ = Ajustes::texto(s, QStringLiteral("tema")).value_or(temaPadrao);
    nomeLocal_ = LinkDiretoNome::nome();
    sair = [] { QCoreApplication::quit(); };
}

void EstadoVarkelo::setTemaId(const QString &id)
{
    if (!bancada_) {
        QSettings s = ajustes();
        s.setValue(QStringLiteral("tema"), id);
    }
    if (id == temaId_)
        return;
    temaId_ = id;
    Q_EMIT temaIdMudou();
}

void EstadoVarkelo::setCarregando(bool v)
{
    if (v == carregando_)
        return;
    carregando_ = v;
    Q_EMIT carregandoMudou();
}

void EstadoVarkelo::pedirRecarga()
{
    ++recarregar_;
    Q_EMIT recarregarMudou();
}

// --- origin ----------------------------------------------------------------

void EstadoVarkelo::publicar(bool via, TipoOrigem tipo, const QUrl &url)
{
    // Observers of the origin must see the matching kind: origin last.
    viaQuilvo_ = via;
    tipoOrigem_ = tipo;
    origem_ = url;
    Q_EMIT origemMudou();
}

QCoro::Task<bool> EstadoVarkelo::responde(QUrl base)
{
    QNetworkRequest req(comCaminho(base, QStringLiteral("netinfo")));
    req.setTransferTimeout(1200);
    // A redirect is not an answer: the status itself must be 200.
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *r = Rede::gerenciador()->get(req);
    QPointer<QNetworkReply> guarda(r);
    // The transfer timeout only counts idle time; bound the whole probe too.
    // Bound to a local: GCC 12 destroys a temporary whose member coroutine
    // is awaited twice.
    auto espera = qCoro(r);
    co_await espera.waitForFinished(std::chrono::milliseconds(1300));
    if (!guarda)
        co_return false;
    const bool ok = r->isFinished() && r->error() == QNetworkReply::NoError
                    && r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    if (!r->isFinished())
        r->abort();
    r->deleteLater();
    co_return ok;
}

QCoro::Task<void> EstadoVarkelo::decidirOrigem()
{
    QPointer<EstadoVarkelo> eu(this);
    if (bancada_) {
        publicar(true, TipoOrigem::quilvo, bancada_->url);
        co_return;
    }
    const Enderecos end = enderecos_;
    if (fonte_ == FonteEscolhida::dev) {
        const bool ok = co_await responde(end.dev);
        if (!eu)
            co_return;
        if (ok) {
            publicar(false, TipoOrigem::dev, end.dev);
            co_return;
        }
    }
    if (fonte_ != FonteEscolhida::nuvem) {
        const bool ok = co_await responde(end.local);
        if (!eu)
            co_return;
        if (ok) {
            publicar(true, TipoOrigem::quilvo, end.local);
            co_await buscarTemaDaPessoa();
            co_return;
        }
    }
    publicar(false, TipoOrigem::nuvem, end.nuvem);
}

void EstadoVarkelo::escolherFonte(FonteEscolhida nova)
{
    if (nova == fonte_ && origem_)
        return;
    fonte_ = nova;
    {
        QSettings s = ajustes();
        s.setValue(QStringLiteral("fonte"), Fontes::valorBruto(nova));
    }
    Q_EMIT fonteMudou();
    setCarregando(true);
    origem_.reset();
    Q_EMIT origemMudou();
    // A new task on the main loop; the call returns at once and the task
    // holds us weakly.
    QTimer::singleShot(0, this, [eu = QPointer<EstadoVarkelo>(this)] {
        if (eu)
            eu->decidirOrigem();
    });
}

QCoro::Task<void> EstadoVarkelo::buscarTemaDaPessoa()
{
    QPointer<EstadoVarkelo> eu(this);
    const std::optional<QString> token = tokenDoQuilvo();
    if (!token)
        co_return;
    QUrl url = comCaminho(enderecos_.local, QStringLiteral("api/admin/status"));
    url.setQuery(QStringLiteral("token=") + QString::fromLatin1(QUrl::toPercentEncoding(*token)),
                 QUrl::StrictMode);
    if (!url.isValid())
        co_return;
    QNetworkRequest req(url);
    req.setTransferTimeout(60000);
    QNetworkReply *r = Rede::gerenciador()->get(req);
    auto espera = qCoro(r);
    co_await espera.waitForFinished();
    r->deleteLater();
    if (!eu || r->error() != QNetworkReply::NoError)
        co_return;
    const QJsonDocument doc = QJsonDocument::fromJson(r->readAll());
    if (!doc.isObject())
        co_return;
    const QJsonValue tema = doc.object().value(QStringLiteral("tema"));
    if (tema.isString() && TemasCatalogo::contem(tema.toString()))
        setTemaId(tema.toString());
}

// --- token -----------------------------------------------------------------

std::optional<QString> EstadoVarkelo::tokenDoQuilvo() const
{
    if (bancada_)
        return bancada_->token;
    QFile f(Plataforma::arquivoToken());
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString t = QString::fromUtf8(f.readAll()).trimmed();
    if (t.isEmpty())
        return std::nullopt;
    return t;
}

// --- diary -----------------------------------------------------------------

void EstadoVarkelo::anotar(const QString &linha)
{
    diario_.append(linha);
    if (diario_.size() > maxLinhasDoDiario)
        diario_.erase(diario_.begin(), diario_.begin() + (diario_.size() - maxLinhasDoDiario));
    Q_EMIT diarioMudou();
    if (bancada_) {
        const QByteArray b = "PAGINA " + linha.toUtf8() + '\n';
        std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
        std::fflush(stderr);
    } else {
        gravarNoDiario(linha);
    }
}

void EstadoVarkelo::gravarNoDiario(const QString &linha)
{
    const QString caminho = arquivoDoDiario();
    const QByteArray registro = Relogio::agora().toUTC().toString(Qt::ISODate).toUtf8() + ' '
                                + linha.toUtf8() + '\n';
    const QFileInfo info(caminho);
    if (info.exists() && info.size() > maxBytesDoDiario)
        QFile::remove(caminho);
    QFile f(caminho);
    if (f.open(QIODevice::WriteOnly | QIODevice::Append))
        f.write(registro);
}

// --- page messages ---------------------------------------------------------

void EstadoVarkelo::receber(const QVariantMap &m)
{
    const auto verdadeiro = [&m](const char *chave) {
        const QVariant v = m.value(QLatin1String(chave));
        return v.typeId() == QMetaType::Bool && v.toBool();
    };
    if (verdadeiro("fechar")) {
        fecharComCuidado();
        return;
    }
    const QVariant janela = m.value(QStringLiteral("janela"));
    if (janela.typeId() == QMetaType::QString) {
        if (pedidoDeJanela && pedidoDeJanela(janela.toString()))
            return;
    }
    const QVariant tema = m.value(QStringLiteral("tema"));
    if (tema.typeId() == QMetaType::QString) {
        const QString id = tema.toString();
        if (id != temaId_ && TemasCatalogo::contem(id))
            setTemaId(id);
    }
    const NoAr novo{verdadeiro("rec"), verdadeiro("cronometro"), verdadeiro("cr"), verdadeiro("ensaio")};
    if (!(novo == noAr_)) {
        noAr_ = novo;
        Q_EMIT noArMudou();
    }
}

QString EstadoVarkelo::tituloDoAlerta(const NoAr &n)
{
    QString rotulo;
    if (n.rec)
        rotulo = QStringLiteral("Gravando");
    else if (n.ensaio)
        rotulo = QStringLiteral("Ensaio");
    else if (n.cronometro)
        rotulo = QStringLiteral("Tempo correndo");
    else if (n.cr)
        rotulo = QStringLiteral("Cronômetro");
    return rotulo + QStringLiteral(" no ar");
}

QString EstadoVarkelo::textoDoAlerta()
{
    return QStringLiteral("Fechar o Varkelo não para nada no set — o servidor continua. Só esta tela sai. "
                          "Fechar mesmo assim?");
}

void EstadoVarkelo::fecharComCuidado()
{
    if (!noAr_.algum()) {
        if (sair)
            sair();
        return;
    }
    if (confirmarFechar && confirmarFechar(tituloDoAlerta(noAr_), textoDoAlerta()) && sair)
        sair();
}

QString EstadoVarkelo::linhaAgora() const
{
    if (tipoOrigem_ == TipoOrigem::dev)
        return QStringLiteral("Agora: Desenvolvimento · localhost:1442");
    if (viaQuilvo_)
        return QStringLiteral("Agora: Quilvo · ") + nomeLocal_.value_or(QStringLiteral("este Mac"));
    return QStringLiteral("Agora: Nuvem · ") + enderecos_.nuvem.host();
}
