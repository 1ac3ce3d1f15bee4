#include "APIClient.h"

#include "Rede.h"

#include <QCoroNetworkReply>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

using namespace std::chrono;

namespace {

struct ExcluirDepois {
    void operator()(QNetworkReply *r) const { r->deleteLater(); }
};
// Deleted later even when the awaiting task is dropped midway.
using Resposta = std::unique_ptr<QNetworkReply, ExcluirDepois>;

// Refused, host not found, time-out, cancelled, closed midway, proxy trouble:
// the answer never arrived whole. HTTP refusals (4xx, 5xx) have higher codes.
bool falhaDeTransporte(const QNetworkReply &r)
{
    const int e = r.error();
    return e > QNetworkReply::NoError && e < QNetworkReply::ContentAccessDenied;
}

// The HTTP status of a reply that arrived whole, or 0 when none did.
int statusDe(const QNetworkReply &r)
{
    const QVariant s = r.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!s.isValid() || falhaDeTransporte(r))
        return 0;
    return s.toInt();
}

int emMilissegundos(milliseconds prazo)
{
    return int(std::clamp<qint64>(prazo.count(), 1, INT_MAX));
}

struct Recebido {
    int status = 0;   // 0: no HTTP answer
    QByteArray corpo;
};

QCoro::Task<Recebido> enviar(QUrl url, QByteArray corpo, bool post, milliseconds prazo)
{
    QNetworkRequest pedido(url);
    pedido.setTransferTimeout(emMilissegundos(prazo));
    if (post)
        pedido.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    QNetworkAccessManager *rede = Rede::gerenciador();
    Resposta r(post ? rede->post(pedido, corpo) : rede->get(pedido));
    co_await r.get();
    const int status = statusDe(*r);
    co_return Recebido{status, status > 0 ? r->readAll() : QByteArray()};
}

template <class T>
QCoro::Task<Resultado<T>> requisitar(QUrl url, milliseconds prazo)
{
    const Recebido r = co_await enviar(std::move(url), {}, false, prazo);
    const ResultadoVazio v = APIClient::validar(r.status, r.corpo);
    if (!v)
        co_return v.falha();
    co_return T::decodificar(r.corpo);
}

QCoro::Task<ResultadoVazio> postarEm(QUrl url, QJsonObject corpo, milliseconds prazo)
{
    const Recebido r = co_await enviar(std::move(url), QJsonDocument(corpo).toJson(QJsonDocument::Compact),
                                       true, prazo);
    co_return APIClient::validar(r.status, r.corpo);
}

QCoro::Task<Resultado<QString>> criarTokenEm(QUrl url, QJsonObject corpo, milliseconds prazo)
{
    const Recebido r = co_await enviar(std::move(url), QJsonDocument(corpo).toJson(QJsonDocument::Compact),
                                       true, prazo);
    const ResultadoVazio v = APIClient::validar(r.status, r.corpo);
    if (!v)
        co_return v.falha();
    const Resultado<CriarTokenResposta> d = CriarTokenResposta::decodificar(r.corpo);
    if (!d)
        co_return d.falha();
    if (d->ok && d->token)
        co_return *d->token;
    // A refusal inside a 2xx answer reads as a bad request, whatever was sent.
    co_return ErroAPI::http(400, d->erro.value_or(QStringLiteral("falha desconhecida")));
}

QJsonValue textoOuNulo(const std::optional<QString> &v)
{
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

} // namespace

QUrl APIClient::comToken(const QString &path, const QString &token) const
{
    QUrl u = baseURL;
    QString base = u.path();
    while (base.endsWith(u'/'))
        base.chop(1);
    u.setPath(base + (path.startsWith(u'/') ? path : u'/' + path));
    // Percent-encode everything but the unreserved characters: a bare '+'
    // would read as a space on the server, '&' and '=' would split the item.
    u.setQuery(QStringLiteral("token=") + QString::fromLatin1(QUrl::toPercentEncoding(token)), QUrl::StrictMode);
    return u;
}

ResultadoVazio APIClient::validar(int statusHttp, const QByteArray &corpo)
{
    if (statusHttp <= 0)
        return ErroAPI::semServidor();
    if (statusHttp >= 200 && statusHttp <= 299)
        return Nada{};
    QString mensagem = QStringLiteral("erro %1").arg(statusHttp);
    const QJsonDocument doc = QJsonDocument::fromJson(corpo);
    if (doc.isObject()) {
        const QJsonObject o = doc.object();
        const bool soTextos = std::all_of(o.begin(), o.end(), [](const auto &v) { return v.isString(); });
        if (soTextos && o.contains(QLatin1String("erro")))
            mensagem = o.value(QLatin1String("erro")).toString();
    }
    return ErroAPI::http(statusHttp, mensagem);
}

QCoro::Task<Resultado<StatusResposta>> APIClient::status(QString token) const
{
    return requisitar<StatusResposta>(comToken(QStringLiteral("/api/admin/status"), token), prazo);
}

QCoro::Task<Resultado<EscopoDisponivel>> APIClient::escopoDisponivel(QString token) const
{
    return requisitar<EscopoDisponivel>(comToken(QStringLiteral("/api/admin/escopo-disponivel"), token), prazo);
}

QCoro::Task<Resultado<PresencaResposta>> APIClient::presenca(QString token) const
{
    return requisitar<PresencaResposta>(comToken(QStringLiteral("/api/admin/presenca"), token), prazo);
}

QCoro::Task<Resultado<QString>> APIClient::criarToken(QString token, QString nome, QList<EscopoItem> escopo,
                                                      bool semValidade) const
{
    QJsonArray itens;
    for (const EscopoItem &i : escopo)
        itens.append(i.paraJson());
    QJsonObject corpo{{QStringLiteral("nome"), nome},
                      {QStringLiteral("escopo"), itens},
                      {QStringLiteral("semValidade"), semValidade}};
    return criarTokenEm(comToken(QStringLiteral("/api/admin/criar-token"), token), std::move(corpo), prazo);
}

QCoro::Task<ResultadoVazio> APIClient::escolherQuilvo(QString token, std::optional<QString> nodeId) const
{
    return postarEm(comToken(QStringLiteral("/api/local/quilvo-preferido"), token),
                    QJsonObject{{QStringLiteral("nodeId"), textoOuNulo(nodeId)}}, prazo);
}

QCoro::Task<ResultadoVazio> APIClient::atribuirProdutora(QString token, QString projetoId,
                                                         std::optional<QString> produtoraId) const
{
    return postar(QStringLiteral("/api/admin/atribuir-projeto-produtora"), std::move(token),
                  {{QStringLiteral("projetoId"), projetoId}, {QStringLiteral("produtoraId"), textoOuNulo(produtoraId)}});
}

QCoro::Task<ResultadoVazio> APIClient::atribuirNucleo(QString token, QString projetoId,
                                                      std::optional<QString> nucleoId) const
{
    return postar(QStringLiteral("/api/admin/atribuir-projeto-nucleo"), std::move(token),
                  {{QStringLiteral("projetoId"), projetoId}, {QStringLiteral("nucleoId"), textoOuNulo(nucleoId)}});
}

QCoro::Task<ResultadoVazio> APIClient::definirProdutoraAtiva(QString token, QString produtoraId, bool ativa) const
{
    return postar(QStringLiteral("/api/admin/definir-produtora-ativa"), std::move(token),
                  {{QStringLiteral("produtoraId"), produtoraId}, {QStringLiteral("ativa"), ativa}});
}

QCoro::Task<ResultadoVazio> APIClient::definirNucleoAtivo(QString token, QString nucleoId, bool ativo) const
{
    return postar(QStringLiteral("/api/admin/definir-nucleo-ativo"), std::move(token),
                  {{QStringLiteral("nucleoId"), nucleoId}, {QStringLiteral("ativo"), ativo}});
}

QCoro::Task<ResultadoVazio> APIClient::arquivarProjeto(QString token, QString projetoId) const
{
    return acaoProjeto(QStringLiteral("/api/admin/arquivar-projeto"), std::move(token), std::move(projetoId));
}

QCoro::Task<ResultadoVazio> APIClient::restaurarProjeto(QString token, QString projetoId) const
{
    return acaoProjeto(QStringLiteral("/api/admin/restaurar-projeto"), std::move(token), std::move(projetoId));
}

QCoro::Task<ResultadoVazio> APIClient::apagarProjeto(QString token, QString projetoId) const
{
    return acaoProjeto(QStringLiteral("/api/admin/apagar-projeto"), std::move(token), std::move(projetoId));
}

QCoro::Task<ResultadoVazio> APIClient::apagarProdutora(QString token, QString produtoraId) const
{
    return postar(QStringLiteral("/api/admin/apagar-produtora"), std::move(token),
                  {{QStringLiteral("produtoraId"), produtoraId}});
}

QCoro::Task<ResultadoVazio> APIClient::apagarNucleo(QString token, QString nucleoId) const
{
    return postar(QStringLiteral("/api/admin/apagar-nucleo"), std::move(token),
                  {{QStringLiteral("nucleoId"), nucleoId}});
}

QCoro::Task<ResultadoVazio> APIClient::criarNucleo(QString token, QString nome) const
{
    return postar(QStringLiteral("/api/admin/criar-nucleo"), std::move(token), {{QStringLiteral("nome"), nome}});
}

QCoro::Task<ResultadoVazio> APIClient::postar(QString path, QString token, QJsonObject corpo) const
{
    return postarEm(comToken(path, token), std::move(corpo), prazo);
}

QCoro::Task<ResultadoVazio> APIClient::acaoProjeto(QString path, QString token, QString projetoId) const
{
    return postar(std::move(path), std::move(token), {{QStringLiteral("projetoId"), projetoId}});
}

QCoro::Task<std::optional<qint64>> APIClient::medirPing(QString endereco, double prazo)
{
    // Plain concatenation: the caller's text decides the slashes.
    const QUrl url(endereco + QStringLiteral("/netinfo"), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || !(prazo > 0))
        co_return std::nullopt;
    const int limite = int(std::min(prazo * 1000.0, double(INT_MAX)));

    QNetworkRequest pedido(url);
    pedido.setTransferTimeout(std::max(limite, 1));
    pedido.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    QElapsedTimer relogio;
    relogio.start();
    Resposta r(Rede::gerenciador()->get(pedido));
    // The transfer timeout only counts silence; a peer that trickles bytes
    // must not stretch the sample past its deadline either.
    QNetworkReply *bruto = r.get();
    QTimer::singleShot(std::max(limite, 1), bruto, [bruto] { bruto->abort(); });
    co_await bruto;
    const qint64 decorrido = relogio.nsecsElapsed() / 1000000;

    const int status = statusDe(*r);
    if (status < 200 || status > 299)
        co_return std::nullopt;
    co_return decorrido;
}
