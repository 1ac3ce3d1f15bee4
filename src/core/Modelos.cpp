#include "Modelos.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

ErroDecodificacao invalida(const QString &motivo)
{
    return {QStringLiteral("Resposta inválida do servidor: ") + motivo};
}

QString juntar(const QString &caminho, const QString &chave)
{
    return caminho.isEmpty() ? chave : caminho + u'.' + chave;
}

// Reads the fields of one JSON object and keeps the first failure. After a
// failure every accessor returns a default value and the caller gives up.
class Leitor {
public:
    Leitor(const QJsonObject &objeto, QString caminho) : o_(objeto), caminho_(std::move(caminho)) {}

    std::optional<ErroDecodificacao> erro;

    QString texto(const char *chave) { return obrigatorio<QString>(chave, &Leitor::comoTexto); }
    qint64 inteiro(const char *chave) { return obrigatorio<qint64>(chave, &Leitor::comoInteiro); }
    bool logico(const char *chave) { return obrigatorio<bool>(chave, &Leitor::comoLogico); }

    std::optional<QString> textoOpcional(const char *chave) { return opcional<QString>(chave, &Leitor::comoTexto); }
    std::optional<double> numeroOpcional(const char *chave) { return opcional<double>(chave, &Leitor::comoNumero); }
    std::optional<bool> logicoOpcional(const char *chave) { return opcional<bool>(chave, &Leitor::comoLogico); }

    template <class T>
    QList<T> lista(const char *chave)
    {
        return obrigatorio<QList<T>>(chave, &Leitor::comoLista<T>);
    }
    template <class T>
    std::optional<QList<T>> listaOpcional(const char *chave)
    {
        return opcional<QList<T>>(chave, &Leitor::comoLista<T>);
    }

private:
    template <class T>
    using Conversor = std::optional<T> (Leitor::*)(const QJsonValue &, const QString &);

    template <class T>
    T obrigatorio(const char *chave, Conversor<T> conv)
    {
        if (erro)
            return T{};
        const QString nome = juntar(caminho_, QString::fromLatin1(chave));
        const auto it = o_.constFind(QLatin1String(chave));
        if (it == o_.constEnd()) {
            erro = invalida(QStringLiteral("falta o campo \"%1\"").arg(nome));
            return T{};
        }
        std::optional<T> v = (this->*conv)(it.value(), nome);
        return v ? std::move(*v) : T{};
    }

    template <class T>
    std::optional<T> opcional(const char *chave, Conversor<T> conv)
    {
        if (erro)
            return std::nullopt;
        const auto it = o_.constFind(QLatin1String(chave));
        if (it == o_.constEnd() || it.value().isNull())
            return std::nullopt;
        return (this->*conv)(it.value(), juntar(caminho_, QString::fromLatin1(chave)));
    }

    void tipoErrado(const QString &nome, const char *esperado)
    {
        erro = invalida(QStringLiteral("o campo \"%1\" não é %2").arg(nome, QString::fromUtf8(esperado)));
    }

    std::optional<QString> comoTexto(const QJsonValue &v, const QString &nome)
    {
        if (v.isString())
            return v.toString();
        tipoErrado(nome, "um texto");
        return std::nullopt;
    }
    std::optional<qint64> comoInteiro(const QJsonValue &v, const QString &nome)
    {
        // toInteger gives its default for fractions and out-of-range values;
        // two different defaults tell a real value from a refusal.
        if (v.isDouble()) {
            const qint64 a = v.toInteger(0), b = v.toInteger(1);
            if (a == b)
                return a;
        }
        tipoErrado(nome, "um número inteiro");
        return std::nullopt;
    }
    std::optional<double> comoNumero(const QJsonValue &v, const QString &nome)
    {
        if (v.isDouble())
            return v.toDouble();
        tipoErrado(nome, "um número");
        return std::nullopt;
    }
    std::optional<bool> comoLogico(const QJsonValue &v, const QString &nome)
    {
        if (v.isBool())
            return v.toBool();
        tipoErrado(nome, "verdadeiro ou falso");
        return std::nullopt;
    }
    template <class T>
    std::optional<QList<T>> comoLista(const QJsonValue &v, const QString &nome)
    {
        if (!v.isArray()) {
            tipoErrado(nome, "uma lista");
            return std::nullopt;
        }
        const QJsonArray a = v.toArray();
        QList<T> itens;
        itens.reserve(a.size());
        for (qsizetype i = 0; i < a.size(); ++i) {
            Resultado<T> r = T::deJson(a.at(i), QStringLiteral("%1[%2]").arg(nome).arg(i));
            if (!r) {
                erro = *r.falha().decodificacao();
                return std::nullopt;
            }
            itens.append(std::move(r.valor()));
        }
        return itens;
    }

    QJsonObject o_;
    QString caminho_;
};

// The object at `v`, or the failure that says it is not one.
std::optional<ErroDecodificacao> objeto(const QJsonValue &v, const QString &caminho, QJsonObject &saida)
{
    if (v.isObject()) {
        saida = v.toObject();
        return std::nullopt;
    }
    if (caminho.isEmpty())
        return invalida(QStringLiteral("o corpo não é um objeto JSON"));
    return invalida(QStringLiteral("o campo \"%1\" não é um objeto").arg(caminho));
}

template <class T>
Resultado<T> decodificarCorpo(const QByteArray &corpo)
{
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(corpo, &e);
    if (e.error != QJsonParseError::NoError)
        return invalida(QStringLiteral("o corpo não é JSON (%1)").arg(e.errorString()));
    if (!doc.isObject())
        return invalida(QStringLiteral("o corpo não é um objeto JSON"));
    return T::deJson(doc.object());
}

// Runs `ler` on the object at `v` and turns the first failure into the result.
template <class T, class F>
Resultado<T> lerObjeto(const QJsonValue &v, const QString &caminho, F ler)
{
    QJsonObject o;
    if (auto e = objeto(v, caminho, o))
        return *e;
    Leitor l(o, caminho);
    T r = ler(l);
    if (l.erro)
        return *l.erro;
    return r;
}

size_t hashOpcional(const std::optional<QString> &v, size_t seed)
{
    return v ? qHashMulti(seed, true, *v) : qHashMulti(seed, false);
}

} // namespace

Resultado<QuilvoInfo> QuilvoInfo::deJson(const QJsonValue &v, const QString &caminho)
{
    return lerObjeto<QuilvoInfo>(v, caminho, [](Leitor &l) {
        QuilvoInfo r;
        r.nodeId = l.texto("nodeId");
        r.url = l.texto("url");
        r.rotulo = l.texto("rotulo");
        r.preferido = l.logico("preferido");
        r.fixado = l.logico("fixado");
        r.temCertificado = l.logico("temCertificado");
        r.certUrl = l.texto("certUrl");
        return r;
    });
}

Resultado<StatusResposta> StatusResposta::deJson(const QJsonValue &v, const QString &caminho)
{
    return lerObjeto<StatusResposta>(v, caminho, [](Leitor &l) {
        StatusResposta r;
        r.build = l.texto("build");
        r.conexoes = l.inteiro("conexoes");
        r.versao = l.numeroOpcional("versao");
        r.buildReal = l.textoOpcional("buildReal");
        r.ocioso = l.logicoOpcional("ocioso");
        r.correndo = l.logicoOpcional("correndo");
        r.tema = l.textoOpcional("tema");
        r.euSou = l.textoOpcional("euSou");
        r.podeEscolherQuilvo = l.logicoOpcional("podeEscolherQuilvo");
        r.quilvos = l.listaOpcional<QuilvoInfo>("quilvos");
        return r;
    });
}

Resultado<ProdutoraOuNucleo> ProdutoraOuNucleo::deJson(const QJsonValue &v, const QString &caminho)
{
    return lerObjeto<ProdutoraOuNucleo>(v, caminho, [](Leitor &l) {
        ProdutoraOuNucleo r;
        r.id = l.texto("id");
        r.nome = l.texto("nome");
        r.ativo = l.logico("ativo");
        return r;
    });
}

Resultado<ProjetoResumo> ProjetoResumo::deJson(const QJsonValue &v, const QString &caminho)
{
    return lerObjeto<ProjetoResumo>(v, caminho, [](Leitor &l) {
        ProjetoResumo r;
        r.id = l.texto("id");
        r.nome = l.texto("nome");
        r.produtoraId = l.textoOpcional("produtoraId");
        r.nucleoId = l.textoOpcional("nucleoId");
        r.arquivado = l.logico("arquivado");
        return r;
    });
}

Resultado<EscopoDisponivel> EscopoDisponivel::deJson(const QJsonValue &v, const QString &caminho)
{
    return lerObjeto<EscopoDisponivel>(v, caminho, [](Leitor &l) {
        EscopoDisponivel r;
        r.global = l.logico("global");
        r.raiz = l.logico("raiz");
        r.produtoras = l.lista<ProdutoraOuNucleo>("produtoras");
        r.nucleos = l.lista<ProdutoraOuNucleo>("nucleos");
        r.projetos = l.lista<ProjetoResumo>("projetos");
        r.podeAdministrar = l.logicoOpcional("podeAdministrar");
        return r;
    });
}

Resultado<SessaoPresenca> SessaoPresenca::deJson(const QJsonValue &v, const QString &caminho)
{
    return lerObjeto<SessaoPresenca>(v, caminho, [](Leitor &l) {
        SessaoPresenca r;
        r.iniciais = l.texto("iniciais");
        r.elemento = l.textoOpcional("elemento");
        r.projeto = l.textoOpcional("projeto");
        r.rede = l.textoOpcional("rede");
        return r;
    });
}

Resultado<PresencaResposta> PresencaResposta::deJson(const QJsonValue &v, const QString &caminho)
{
    return lerObjeto<PresencaResposta>(v, caminho, [](Leitor &l) {
        PresencaResposta r;
        r.sessoes = l.lista<SessaoPresenca>("sessoes");
        return r;
    });
}

Resultado<CriarTokenResposta> CriarTokenResposta::deJson(const QJsonValue &v, const QString &caminho)
{
    return lerObjeto<CriarTokenResposta>(v, caminho, [](Leitor &l) {
        CriarTokenResposta r;
        r.ok = l.logico("ok");
        r.token = l.textoOpcional("token");
        r.erro = l.textoOpcional("erro");
        return r;
    });
}

Resultado<QuilvoInfo> QuilvoInfo::decodificar(const QByteArray &c) { return decodificarCorpo<QuilvoInfo>(c); }
Resultado<StatusResposta> StatusResposta::decodificar(const QByteArray &c) { return decodificarCorpo<StatusResposta>(c); }
Resultado<ProdutoraOuNucleo> ProdutoraOuNucleo::decodificar(const QByteArray &c) { return decodificarCorpo<ProdutoraOuNucleo>(c); }
Resultado<ProjetoResumo> ProjetoResumo::decodificar(const QByteArray &c) { return decodificarCorpo<ProjetoResumo>(c); }
Resultado<EscopoDisponivel> EscopoDisponivel::decodificar(const QByteArray &c) { return decodificarCorpo<EscopoDisponivel>(c); }
Resultado<SessaoPresenca> SessaoPresenca::decodificar(const QByteArray &c) { return decodificarCorpo<SessaoPresenca>(c); }
Resultado<PresencaResposta> PresencaResposta::decodificar(const QByteArray &c) { return decodificarCorpo<PresencaResposta>(c); }
Resultado<CriarTokenResposta> CriarTokenResposta::decodificar(const QByteArray &c) { return decodificarCorpo<CriarTokenResposta>(c); }

QJsonObject EscopoItem::paraJson() const
{
    QJsonObject o{{QStringLiteral("tipo"), tipo}};
    if (produtoraId)
        o.insert(QStringLiteral("produtoraId"), *produtoraId);
    if (nucleoId)
        o.insert(QStringLiteral("nucleoId"), *nucleoId);
    if (projetoId)
        o.insert(QStringLiteral("projetoId"), *projetoId);
    return o;
}

size_t qHash(const QuilvoInfo &v, size_t seed) noexcept
{
    return qHashMulti(seed, v.nodeId, v.url, v.rotulo, v.preferido, v.fixado, v.temCertificado, v.certUrl);
}

size_t qHash(const ProdutoraOuNucleo &v, size_t seed) noexcept
{
    return qHashMulti(seed, v.id, v.nome, v.ativo);
}

size_t qHash(const ProjetoResumo &v, size_t seed) noexcept
{
    seed = qHashMulti(seed, v.id, v.nome, v.arquivado);
    return hashOpcional(v.nucleoId, hashOpcional(v.produtoraId, seed));
}

size_t qHash(const SessaoPresenca &v, size_t seed) noexcept
{
    seed = qHash(v.iniciais, seed);
    return hashOpcional(v.rede, hashOpcional(v.projeto, hashOpcional(v.elemento, seed)));
}

size_t qHash(const EscopoItem &v, size_t seed) noexcept
{
    seed = qHash(v.tipo, seed);
    return hashOpcional(v.projetoId, hashOpcional(v.nucleoId, hashOpcional(v.produtoraId, seed)));
}
