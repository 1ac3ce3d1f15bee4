#pragma once
// Client of the local server's admin API. A small value made for each use
// from the state object's base address; it keeps nothing between calls.
// The token travels only as the query item `token`, never in a header.
#include "Modelos.h"
#include "Resultado.h"

#include <QCoroTask>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

struct APIClient {
    QUrl baseURL;                                         // e.g. http://localhost:1440
    std::chrono::milliseconds prazo = std::chrono::seconds(60);  // per request; tests shorten it

    // GET endpoints.
    QCoro::Task<Resultado<StatusResposta>> status(QString token) const;
    QCoro::Task<Resultado<EscopoDisponivel>> escopoDisponivel(QString token) const;
    QCoro::Task<Resultado<PresencaResposta>> presenca(QString token) const;

    // Issues a token within the caller's scope; the result is the new token.
    QCoro::Task<Resultado<QString>> criarToken(QString token, QString nome, QList<EscopoItem> escopo,
                                               bool semValidade) const;
    // Pins the meeting point of the set; none sends JSON null.
    QCoro::Task<ResultadoVazio> escolherQuilvo(QString token, std::optional<QString> nodeId) const;

    QCoro::Task<ResultadoVazio> atribuirProdutora(QString token, QString projetoId,
                                                  std::optional<QString> produtoraId) const;
    QCoro::Task<ResultadoVazio> atribuirNucleo(QString token, QString projetoId,
                                               std::optional<QString> nucleoId) const;
    QCoro::Task<ResultadoVazio> definirProdutoraAtiva(QString token, QString produtoraId, bool ativa) const;
    QCoro::Task<ResultadoVazio> definirNucleoAtivo(QString token, QString nucleoId, bool ativo) const;
    QCoro::Task<ResultadoVazio> arquivarProjeto(QString token, QString projetoId) const;
    QCoro::Task<ResultadoVazio> restaurarProjeto(QString token, QString projetoId) const;
    QCoro::Task<ResultadoVazio> apagarProjeto(QString token, QString projetoId) const;
    QCoro::Task<ResultadoVazio> apagarProdutora(QString token, QString produtoraId) const;
    QCoro::Task<ResultadoVazio> apagarNucleo(QString token, QString nucleoId) const;
    QCoro::Task<ResultadoVazio> criarNucleo(QString token, QString nome) const;

    // General POST of a JSON object; the answer's body is ignored.
    QCoro::Task<ResultadoVazio> postar(QString path, QString token, QJsonObject corpo) const;
    QCoro::Task<ResultadoVazio> acaoProjeto(QString path, QString token, QString projetoId) const;

    // baseURL + path as a path component, with `token` as the only query item.
    QUrl comToken(const QString &path, const QString &token) const;

    // The rule every answer passes: 2xx succeeds; anything else fails with
    // http(status, `erro` of a JSON object of texts, or "erro " + status).
    static ResultadoVazio validar(int statusHttp, const QByteArray &corpo);

    // One round trip to `endereco` + "/netinfo", in whole milliseconds; none
    // on any failure. Never takes longer than `prazo` seconds.
    static QCoro::Task<std::optional<qint64>> medirPing(QString endereco, double prazo);
};
