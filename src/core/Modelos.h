#pragma once
// The JSON records of the local server's admin API. Plain values: decoded
// from a response body, stored by the state object, shown by the views.
//
// Decoding rules shared by every record: keys are the field names; a required
// field must be present with the right JSON type, else the whole body fails
// with an ErroDecodificacao naming the key; an optional field absent or null
// is none, but present with the wrong type fails too; unknown keys are
// ignored. Integers are read as qint64 (whole numbers only), numbers as double.
#include "Resultado.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

// One server of the set, as the cloud service knows it.
struct QuilvoInfo {
    QString nodeId;
    QString url;
    QString rotulo;
    bool preferido = false;
    bool fixado = false;
    bool temCertificado = false;
    QString certUrl;

    QString id() const { return nodeId; }
    QString identidade() const { return nodeId; }

    // `caminho` says where the value sits in the body, for error texts.
    static Resultado<QuilvoInfo> deJson(const QJsonValue &v, const QString &caminho = {});
    static Resultado<QuilvoInfo> decodificar(const QByteArray &corpo);
    bool operator==(const QuilvoInfo &) const = default;
};

// Answer of GET /api/admin/status.
struct StatusResposta {
    QString build;
    qint64 conexoes = 0;
    std::optional<double> versao;
    std::optional<QString> buildReal;
    std::optional<bool> ocioso;
    std::optional<bool> correndo;
    std::optional<QString> tema;
    std::optional<QString> euSou;
    std::optional<bool> podeEscolherQuilvo;
    std::optional<QList<QuilvoInfo>> quilvos;

    // Only an explicit true counts as idle; absent (older servers) or null do not.
    bool estaOcioso() const { return ocioso.value_or(false); }

    static Resultado<StatusResposta> deJson(const QJsonValue &v, const QString &caminho = {});
    static Resultado<StatusResposta> decodificar(const QByteArray &corpo);
    bool operator==(const StatusResposta &) const = default;
};

// A producer or a núcleo: both have the same shape.
struct ProdutoraOuNucleo {
    QString id;
    QString nome;
    bool ativo = false;

    QString identidade() const { return id; }

    static Resultado<ProdutoraOuNucleo> deJson(const QJsonValue &v, const QString &caminho = {});
    static Resultado<ProdutoraOuNucleo> decodificar(const QByteArray &corpo);
    bool operator==(const ProdutoraOuNucleo &) const = default;
};

struct ProjetoResumo {
    QString id;
    QString nome;
    std::optional<QString> produtoraId;   // none: the project has no producer
    std::optional<QString> nucleoId;      // none: the project has no núcleo
    bool arquivado = false;

    QString identidade() const { return id; }

    static Resultado<ProjetoResumo> deJson(const QJsonValue &v, const QString &caminho = {});
    static Resultado<ProjetoResumo> decodificar(const QByteArray &corpo);
    bool operator==(const ProjetoResumo &) const = default;
};

// Answer of GET /api/admin/escopo-disponivel: what the token reaches.
struct EscopoDisponivel {
    bool global = false;
    bool raiz = false;
    QList<ProdutoraOuNucleo> produtoras;
    QList<ProdutoraOuNucleo> nucleos;
    QList<ProjetoResumo> projetos;
    std::optional<bool> podeAdministrar;

    // Absent means the token administers.
    bool administra() const { return podeAdministrar.value_or(true); }

    static Resultado<EscopoDisponivel> deJson(const QJsonValue &v, const QString &caminho = {});
    static Resultado<EscopoDisponivel> decodificar(const QByteArray &corpo);
    bool operator==(const EscopoDisponivel &) const = default;
};

// One session present on the set.
struct SessaoPresenca {
    QString iniciais;
    std::optional<QString> elemento;
    std::optional<QString> projeto;
    std::optional<QString> rede;

    // Initials, element and project run together; `rede` takes no part. The
    // pieces are not separated, so "AB"+"E1"+none and "AB"+none+"E1" share
    // the identity "ABE1": lists must not rely on it being unique.
    QString id() const { return iniciais + elemento.value_or(QString()) + projeto.value_or(QString()); }
    QString identidade() const { return id(); }

    static Resultado<SessaoPresenca> deJson(const QJsonValue &v, const QString &caminho = {});
    static Resultado<SessaoPresenca> decodificar(const QByteArray &corpo);
    bool operator==(const SessaoPresenca &) const = default;
};

// Answer of GET /api/admin/presenca.
struct PresencaResposta {
    QList<SessaoPresenca> sessoes;

    static Resultado<PresencaResposta> deJson(const QJsonValue &v, const QString &caminho = {});
    static Resultado<PresencaResposta> decodificar(const QByteArray &corpo);
    bool operator==(const PresencaResposta &) const = default;
};

// Answer of POST /api/admin/criar-token.
struct CriarTokenResposta {
    bool ok = false;
    std::optional<QString> token;
    std::optional<QString> erro;

    static Resultado<CriarTokenResposta> deJson(const QJsonValue &v, const QString &caminho = {});
    static Resultado<CriarTokenResposta> decodificar(const QByteArray &corpo);
    bool operator==(const CriarTokenResposta &) const = default;
};

// One element of the scope of a token to be issued (sent, never received).
struct EscopoItem {
    QString tipo;                          // "produtora", "nucleo" or "projeto"
    std::optional<QString> produtoraId;
    std::optional<QString> nucleoId;
    std::optional<QString> projetoId;

    // `tipo` always; each identifier only when set, never as null.
    QJsonObject paraJson() const;
    bool operator==(const EscopoItem &) const = default;
};

size_t qHash(const QuilvoInfo &v, size_t seed = 0) noexcept;
size_t qHash(const ProdutoraOuNucleo &v, size_t seed = 0) noexcept;
size_t qHash(const ProjetoResumo &v, size_t seed = 0) noexcept;
size_t qHash(const SessaoPresenca &v, size_t seed = 0) noexcept;
size_t qHash(const EscopoItem &v, size_t seed = 0) noexcept;

Q_DECLARE_METATYPE(QuilvoInfo)
Q_DECLARE_METATYPE(StatusResposta)
Q_DECLARE_METATYPE(ProdutoraOuNucleo)
Q_DECLARE_METATYPE(ProjetoResumo)
Q_DECLARE_METATYPE(EscopoDisponivel)
Q_DECLARE_METATYPE(SessaoPresenca)
Q_DECLARE_METATYPE(PresencaResposta)
Q_DECLARE_METATYPE(CriarTokenResposta)
Q_DECLARE_METATYPE(EscopoItem)
