#include "Ambiente.h"
#include "Modelos.h"

#include <QJsonArray>
#include <QSet>
#include <QVariant>

// Decodes `corpo` and returns the failure text, or an empty text on success.
template <class T>
QString falhaDe(const QByteArray &corpo)
{
    const Resultado<T> r = T::decodificar(corpo);
    if (r)
        return {};
    [&] { QVERIFY(r.falha().decodificacao()); }();
    return r.falha().descricao();
}

class TesteModelos : public QObject {
    Q_OBJECT
private slots:
    void status_data()
    {
        QTest::addColumn<QByteArray>("corpo");
        QTest::addColumn<QString>("erro");   // empty: decodes; else how the failure starts

        const QString p = QStringLiteral("Resposta inválida do servidor: ");
        QTest::newRow("mínimo") << QByteArray(R"({"build":"b1","conexoes":2})") << QString();
        QTest::newRow("sem conexoes") << QByteArray(R"({"build":"b1"})") << p + "falta o campo \"conexoes\"";
        QTest::newRow("sem build") << QByteArray(R"({"conexoes":2})") << p + "falta o campo \"build\"";
        QTest::newRow("build nulo") << QByteArray(R"({"build":null,"conexoes":2})") << p + "o campo \"build\" não é um texto";
        QTest::newRow("conexoes texto") << QByteArray(R"({"build":"b","conexoes":"2"})")
                                        << p + "o campo \"conexoes\" não é um número inteiro";
        QTest::newRow("conexoes fração") << QByteArray(R"({"build":"b","conexoes":2.5})")
                                         << p + "o campo \"conexoes\" não é um número inteiro";
        QTest::newRow("opcionais nulos") << QByteArray(R"({"build":"b","conexoes":0,"versao":null,"ocioso":null,"quilvos":null,"tema":null})")
                                         << QString();
        QTest::newRow("opcional de tipo errado") << QByteArray(R"({"build":"b","conexoes":0,"ocioso":"sim"})")
                                                 << p + "o campo \"ocioso\" não é verdadeiro ou falso";
        QTest::newRow("chaves desconhecidas") << QByteArray(R"({"build":"b","conexoes":0,"novo":{"x":[1]}})") << QString();
        QTest::newRow("quilvo incompleto")
            << QByteArray(R"({"build":"b","conexoes":0,"quilvos":[{"nodeId":"n","url":"u","rotulo":"r","preferido":true,"fixado":false,"temCertificado":false}]})")
            << p + "falta o campo \"quilvos[0].certUrl\"";
        QTest::newRow("quilvos não lista") << QByteArray(R"({"build":"b","conexoes":0,"quilvos":{}})")
                                           << p + "o campo \"quilvos\" não é uma lista";
        QTest::newRow("quilvo não objeto") << QByteArray(R"({"build":"b","conexoes":0,"quilvos":[3]})")
                                           << p + "o campo \"quilvos[0]\" não é um objeto";
        QTest::newRow("lista no topo") << QByteArray("[]") << p + "o corpo não é um objeto JSON";
        QTest::newRow("vazio") << QByteArray() << p + "o corpo não é JSON (";
        QTest::newRow("html") << QByteArray("<html>") << p + "o corpo não é JSON (";
    }
    void status()
    {
        QFETCH(QByteArray, corpo);
        QFETCH(QString, erro);
        const QString obtido = falhaDe<StatusResposta>(corpo);
        if (erro.endsWith(u'('))   // the parser's own words follow
            QVERIFY2(obtido.startsWith(erro), qPrintable(obtido));
        else
            QCOMPARE(obtido, erro);
    }

    void statusCompleto()
    {
        const QByteArray corpo = R"({"build":"2024.1","conexoes":9007199254740993,"versao":3.25,)"
                                 R"("buildReal":"r7","ocioso":true,"correndo":false,"tema":"noite","euSou":"n1",)"
                                 R"("podeEscolherQuilvo":true,"quilvos":[{"nodeId":"n1","url":"http://a:1440",)"
                                 R"("rotulo":"Sala","preferido":true,"fixado":false,"temCertificado":true,)"
                                 R"("certUrl":"/c.pem","extra":1}]})";
        const Resultado<StatusResposta> r = StatusResposta::decodificar(corpo);
        QVERIFY2(r, qPrintable(r ? QString() : r.falha().descricao()));
        QCOMPARE(r->conexoes, Q_INT64_C(9007199254740993));   // not squeezed through a double
        QCOMPARE(r->versao, std::optional<double>(3.25));
        QCOMPARE(r->buildReal, std::optional<QString>("r7"));
        QVERIFY(r->estaOcioso());
        QCOMPARE(r->correndo, std::optional<bool>(false));
        QCOMPARE(r->quilvos->size(), 1);
        const QuilvoInfo q = r->quilvos->first();
        QCOMPARE(q.id(), QStringLiteral("n1"));
        QVERIFY(q.preferido && !q.fixado && q.temCertificado);
        QCOMPARE(q.certUrl, QStringLiteral("/c.pem"));

        // Absent and null both leave the optionals empty; neither counts as idle.
        for (const QByteArray &b : {QByteArray(R"({"build":"b","conexoes":1})"),
                                    QByteArray(R"({"build":"b","conexoes":1,"ocioso":null})")}) {
            const auto m = StatusResposta::decodificar(b);
            QVERIFY(m);
            QVERIFY(!m->ocioso && !m->versao && !m->quilvos && !m->tema);
            QVERIFY(!m->estaOcioso());
        }
    }

    void escopo_data()
    {
        QTest::addColumn<QByteArray>("corpo");
        QTest::addColumn<QString>("erro");
        QTest::addColumn<bool>("administra");

        const QString p = QStringLiteral("Resposta inválida do servidor: ");
        const QByteArray base = R"("global":false,"raiz":true,"produtoras":[{"id":"p1","nome":"P","ativo":true}],"nucleos":[])";
        QTest::newRow("sem podeAdministrar") << "{" + base + R"(,"projetos":[]})" << QString() << true;
        QTest::newRow("podeAdministrar falso") << "{" + base + R"(,"projetos":[],"podeAdministrar":false})" << QString() << false;
        QTest::newRow("sem projetos") << "{" + base + "}" << p + "falta o campo \"projetos\"" << true;
        QTest::newRow("projeto sem arquivado") << "{" + base + R"(,"projetos":[{"id":"x","nome":"X"}]})"
                                               << p + "falta o campo \"projetos[0].arquivado\"" << true;
        QTest::newRow("produtora sem ativo")
            << QByteArray(R"({"global":true,"raiz":false,"produtoras":[{"id":"a","nome":"A","ativo":true},{"id":"b","nome":"B"}],"nucleos":[],"projetos":[]})")
            << p + "falta o campo \"produtoras[1].ativo\"" << true;
        QTest::newRow("global ausente") << QByteArray(R"({"raiz":false,"produtoras":[],"nucleos":[],"projetos":[]})")
                                        << p + "falta o campo \"global\"" << true;
    }
    void escopo()
    {
        QFETCH(QByteArray, corpo);
        QFETCH(QString, erro);
        QFETCH(bool, administra);
        const Resultado<EscopoDisponivel> r = EscopoDisponivel::decodificar(corpo);
        QCOMPARE(r ? QString() : r.falha().descricao(), erro);
        if (r)
            QCOMPARE(r->administra(), administra);
    }

    void projetoSemProdutora()
    {
        const auto r = EscopoDisponivel::decodificar(
            R"({"global":false,"raiz":false,"produtoras":[],"nucleos":[],"projetos":[)"
            R"({"id":"a","nome":"A","produtoraId":null,"arquivado":false},)"
            R"({"id":"b","nome":"B","produtoraId":"p","nucleoId":"n","arquivado":true}]})");
        QVERIFY(r);
        QCOMPARE(r->projetos.size(), 2);
        QVERIFY(!r->projetos[0].produtoraId && !r->projetos[0].nucleoId);
        QCOMPARE(r->projetos[1].produtoraId, std::optional<QString>("p"));
        QCOMPARE(r->projetos[1].nucleoId, std::optional<QString>("n"));
        QVERIFY(r->projetos[1].arquivado);
    }

    void presencaECriarToken_data()
    {
        QTest::addColumn<QByteArray>("corpo");
        QTest::addColumn<bool>("presenca");   // which record to decode
        QTest::addColumn<QString>("erro");

        const QString p = QStringLiteral("Resposta inválida do servidor: ");
        QTest::newRow("presença vazia") << QByteArray(R"({"sessoes":[]})") << true << QString();
        QTest::newRow("presença sem sessoes") << QByteArray("{}") << true << p + "falta o campo \"sessoes\"";
        QTest::newRow("sessão sem iniciais") << QByteArray(R"({"sessoes":[{"elemento":"E"}]})") << true
                                             << p + "falta o campo \"sessoes[0].iniciais\"";
        QTest::newRow("token ok") << QByteArray(R"({"ok":true,"token":"t"})") << false << QString();
        QTest::newRow("token recusado") << QByteArray(R"({"ok":false,"erro":"não"})") << false << QString();
        QTest::newRow("token sem ok") << QByteArray(R"({"token":"t"})") << false << p + "falta o campo \"ok\"";
    }
    void presencaECriarToken()
    {
        QFETCH(QByteArray, corpo);
        QFETCH(bool, presenca);
        QFETCH(QString, erro);
        QCOMPARE(presenca ? falhaDe<PresencaResposta>(corpo) : falhaDe<CriarTokenResposta>(corpo), erro);
    }

    void identidadeDaSessao_data()
    {
        QTest::addColumn<QString>("iniciais");
        QTest::addColumn<QString>("elemento");   // null QString: none
        QTest::addColumn<QString>("projeto");
        QTest::addColumn<QString>("id");

        QTest::newRow("só iniciais") << "AB" << QString() << QString() << "AB";
        QTest::newRow("elemento sem projeto") << "AB" << "E1" << QString() << "ABE1";
        QTest::newRow("projeto sem elemento") << "AB" << QString() << "E1" << "ABE1";
        QTest::newRow("os dois") << "AB" << "E1" << "P2" << "ABE1P2";
    }
    void identidadeDaSessao()
    {
        QFETCH(QString, iniciais);
        QFETCH(QString, elemento);
        QFETCH(QString, projeto);
        QFETCH(QString, id);
        auto opc = [](const QString &s) { return s.isNull() ? std::nullopt : std::optional<QString>(s); };
        SessaoPresenca s{iniciais, opc(elemento), opc(projeto), QStringLiteral("wifi")};
        QCOMPARE(s.id(), id);
        SessaoPresenca outraRede = s;
        outraRede.rede = QStringLiteral("cabo");
        QCOMPARE(outraRede.id(), id);      // rede is not part of the identity...
        QVERIFY(!(outraRede == s));        // ...but it is part of equality
    }

    void escopoItemParaJson_data()
    {
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<QString>("produtoraId");
        QTest::addColumn<QString>("nucleoId");
        QTest::addColumn<QString>("projetoId");
        QTest::addColumn<QStringList>("chaves");

        QTest::newRow("projeto") << "projeto" << QString() << QString() << "pj" << QStringList{"projetoId", "tipo"};
        QTest::newRow("produtora") << "produtora" << "pd" << QString() << QString() << QStringList{"produtoraId", "tipo"};
        QTest::newRow("nenhum id") << "nucleo" << QString() << QString() << QString() << QStringList{"tipo"};
        QTest::newRow("id vazio conta como definido") << "nucleo" << QString() << "" << QString()
                                                      << QStringList{"nucleoId", "tipo"};
    }
    void escopoItemParaJson()
    {
        QFETCH(QString, tipo);
        QFETCH(QString, produtoraId);
        QFETCH(QString, nucleoId);
        QFETCH(QString, projetoId);
        QFETCH(QStringList, chaves);
        auto opc = [](const QString &s) { return s.isNull() ? std::nullopt : std::optional<QString>(s); };
        const EscopoItem item{tipo, opc(produtoraId), opc(nucleoId), opc(projetoId)};
        const QJsonObject o = item.paraJson();
        QCOMPARE(o.keys(), chaves);
        QCOMPARE(o.value("tipo").toString(), tipo);
        for (const QString &k : o.keys())
            QVERIFY2(o.value(k).isString(), qPrintable(k));   // never null
    }

    void igualdadeEHash()
    {
        const EscopoItem a{"projeto", std::nullopt, std::nullopt, QStringLiteral("x")};
        const EscopoItem b{"projeto", QStringLiteral("x"), std::nullopt, std::nullopt};
        QVERIFY(!(a == b));
        QSet<EscopoItem> conjunto{a, a, b, EscopoItem{"projeto", std::nullopt, std::nullopt, QStringLiteral("x")}};
        QCOMPARE(conjunto.size(), 2);

        ProjetoResumo p{"id", "Nome", std::nullopt, std::nullopt, false};
        ProjetoResumo q = p;
        QCOMPARE(qHash(p), qHash(q));
        q.arquivado = true;          // the field views change locally
        QVERIFY(!(p == q));

        // Records travel through QVariant (Qt properties) intact.
        const auto s = StatusResposta::decodificar(R"({"build":"b","conexoes":3,"quilvos":[]})");
        QVERIFY(s);
        const QVariant v = QVariant::fromValue(s.valor());
        QCOMPARE(v.value<StatusResposta>(), s.valor());
    }
};

QV_TESTE_SEM_GUI(TesteModelos)
#include "tst_modelos.moc"
