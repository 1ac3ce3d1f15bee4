#include "APIClient.h"
#include "Ambiente.h"
#include "ServidorHttpDeTeste.h"
#include "ServidorLocal.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <functional>

using namespace std::chrono_literals;

// Runs a task to its end in a nested event loop (the test server lives on the
// same thread) and hands back its result.
template <class T>
T esperar(QCoro::Task<T> tarefa)
{
    std::optional<T> r;
    QEventLoop laco;
    auto aguardar = [&]() -> QCoro::Task<> {
        r.emplace(co_await tarefa);
        laco.quit();
    };
    auto t = aguardar();
    if (!r) {
        QTimer::singleShot(20000, &laco, &QEventLoop::quit);   // a hung task fails, not hangs
        laco.exec();
    }
    if (!r)
        qFatal("the task did not finish within 20 s");
    return std::move(*r);
}

// The query value as a form-decoding server reads it ('+' is a space there).
QString lidoPeloServidor(QByteArray valor)
{
    valor.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(valor));
}

QString descricao(const ResultadoVazio &r) { return r ? QString() : r.falha().descricao(); }

class TesteAPIClient : public QObject {
    Q_OBJECT

    std::unique_ptr<ServidorHttpDeTeste> srv;
    APIClient api() const { return APIClient{srv->base()}; }

    static QByteArray statusMinimo() { return R"({"build":"b1","conexoes":4})"; }

private slots:
    void init() { srv = std::make_unique<ServidorHttpDeTeste>(); }
    void cleanup() { srv.reset(); }

    void tokenSoNaQuery_data()
    {
        QTest::addColumn<QString>("token");
        QTest::newRow("simples") << "abc123";
        QTest::newRow("mais e espaço") << "a+b c";
        QTest::newRow("delimitadores") << "x&token=y;z";
        QTest::newRow("reservados") << "/?#%[]@!$'()*,";
        QTest::newRow("não ASCII") << "ação-€-日本";
        QTest::newRow("vazio") << "";
    }
    void tokenSoNaQuery()
    {
        QFETCH(QString, token);
        srv->responder("/api/admin/status", 200, statusMinimo());
        const auto r = esperar(api().status(token));
        QVERIFY2(r, qPrintable(r ? QString() : r.falha().descricao()));
        QCOMPARE(r->conexoes, 4);

        const auto p = srv->ultimo();
        QCOMPARE(p.metodo, QByteArray("GET"));
        QCOMPARE(p.caminho(), QByteArray("/api/admin/status"));
        QVERIFY2(p.query().startsWith("token="), p.query().constData());
        const QByteArray valor = p.query().mid(6);
        QVERIFY2(!valor.contains('&') && !valor.contains('+'), valor.constData());   // exactly one item
        QCOMPARE(lidoPeloServidor(valor), token);
        if (!token.isEmpty())
            for (auto it = p.cabecalhos.cbegin(); it != p.cabecalhos.cend(); ++it)
                QVERIFY2(!it.value().contains(token.toUtf8()) && !it.value().contains(valor), it.key().constData());
    }

    void juntaCaminho_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("sem barra") << "http://localhost:1440" << "http://localhost:1440/api/admin/status?token=t%2B1";
        QTest::newRow("com barra") << "http://localhost:1440/" << "http://localhost:1440/api/admin/status?token=t%2B1";
        QTest::newRow("subpasta") << "http://h:1/sub" << "http://h:1/sub/api/admin/status?token=t%2B1";
        QTest::newRow("subpasta com barra") << "http://h:1/sub/" << "http://h:1/sub/api/admin/status?token=t%2B1";
        QTest::newRow("query antiga trocada") << "http://h:1/?token=velho&x=1" << "http://h:1/api/admin/status?token=t%2B1";
    }
    void juntaCaminho()
    {
        QFETCH(QString, base);
        QFETCH(QString, esperado);
        const QUrl u = APIClient{QUrl(base)}.comToken(QStringLiteral("/api/admin/status"), QStringLiteral("t+1"));
        QCOMPARE(QString::fromLatin1(u.toEncoded()), esperado);
    }

    void recusasHttp_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("corpo");
        QTest::addColumn<QString>("descricao");
        QTest::newRow("401 com erro") << 401 << QByteArray(R"({"erro":"token inválido"})")
                                      << "Servidor respondeu 401: token inválido";
        QTest::newRow("403 com erro") << 403 << QByteArray(R"({"erro":"sem acesso"})") << "Servidor respondeu 403: sem acesso";
        QTest::newRow("500 com número") << 500 << QByteArray(R"({"erro":"falhou","codigo":7})")
                                        << "Servidor respondeu 500: erro 500";
        QTest::newRow("500 sem JSON") << 500 << QByteArray("Internal error") << "Servidor respondeu 500: erro 500";
        QTest::newRow("404 sem erro") << 404 << QByteArray(R"({"motivo":"x"})") << "Servidor respondeu 404: erro 404";
        QTest::newRow("400 erro não texto") << 400 << QByteArray(R"({"erro":null})") << "Servidor respondeu 400: erro 400";
        QTest::newRow("409 lista") << 409 << QByteArray(R"(["erro"])") << "Servidor respondeu 409: erro 409";
        QTest::newRow("302 sem destino") << 302 << QByteArray() << "Servidor respondeu 302: erro 302";
    }
    void recusasHttp()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, corpo);
        QFETCH(QString, descricao);
        srv->aoReceber([&](const auto &) { return ServidorHttpDeTeste::Resposta{status, corpo}; });

        const auto g = esperar(api().presenca("t"));
        QVERIFY(!g);
        QVERIFY(g.falha().api());
        QCOMPARE(g.falha().api()->status, status);
        QCOMPARE(g.falha().descricao(), descricao);
        // POSTs pass the same rule.
        QCOMPARE(::descricao(esperar(api().criarNucleo("t", "N"))), descricao);
    }

    void corpoQueNaoDecodifica()
    {
        srv->responder("/api/admin/escopo-disponivel", 200, R"({"global":true,"raiz":false,"produtoras":[],"nucleos":[]})");
        const auto r = esperar(api().escopoDisponivel("t"));
        QVERIFY(!r);
        QVERIFY(!r.falha().api());
        QCOMPARE(r.falha().descricao(), QStringLiteral("Resposta inválida do servidor: falta o campo \"projetos\""));
    }

    void postsMandamCaminhoECorpo()
    {
        struct Caso {
            const char *caminho;
            std::function<QCoro::Task<ResultadoVazio>(const APIClient &)> chamar;
            QByteArray corpo;   // expected JSON
        };
        const std::optional<QString> nada;
        const QList<Caso> casos = {
            {"/api/local/quilvo-preferido", [](auto &a) { return a.escolherQuilvo("t", QStringLiteral("n7")); },
             R"({"nodeId":"n7"})"},
            {"/api/local/quilvo-preferido", [=](auto &a) { return a.escolherQuilvo("t", nada); }, R"({"nodeId":null})"},
            {"/api/admin/atribuir-projeto-produtora",
             [](auto &a) { return a.atribuirProdutora("t", "p1", QStringLiteral("d1")); },
             R"({"projetoId":"p1","produtoraId":"d1"})"},
            {"/api/admin/atribuir-projeto-produtora", [=](auto &a) { return a.atribuirProdutora("t", "p1", nada); },
             R"({"projetoId":"p1","produtoraId":null})"},
            {"/api/admin/atribuir-projeto-nucleo", [=](auto &a) { return a.atribuirNucleo("t", "p1", nada); },
             R"({"projetoId":"p1","nucleoId":null})"},
            {"/api/admin/definir-produtora-ativa", [](auto &a) { return a.definirProdutoraAtiva("t", "d1", false); },
             R"({"produtoraId":"d1","ativa":false})"},
            {"/api/admin/definir-nucleo-ativo", [](auto &a) { return a.definirNucleoAtivo("t", "n1", true); },
             R"({"nucleoId":"n1","ativo":true})"},
            {"/api/admin/arquivar-projeto", [](auto &a) { return a.arquivarProjeto("t", "p1"); }, R"({"projetoId":"p1"})"},
            {"/api/admin/restaurar-projeto", [](auto &a) { return a.restaurarProjeto("t", "p1"); }, R"({"projetoId":"p1"})"},
            {"/api/admin/apagar-projeto", [](auto &a) { return a.apagarProjeto("t", "p1"); }, R"({"projetoId":"p1"})"},
            {"/api/admin/apagar-produtora", [](auto &a) { return a.apagarProdutora("t", "d1"); }, R"({"produtoraId":"d1"})"},
            {"/api/admin/apagar-nucleo", [](auto &a) { return a.apagarNucleo("t", "n1"); }, R"({"nucleoId":"n1"})"},
            {"/api/admin/criar-nucleo", [](auto &a) { return a.criarNucleo("t", "Núcleo Á"); }, R"({"nome":"Núcleo Á"})"},
            {"/api/local/tema", [](auto &a) { return a.postar("/api/local/tema", "t", {{"tema", "noite"}}); },
             R"({"tema":"noite"})"},
        };
        // The body of a success is ignored, whatever it holds.
        srv->aoReceber([](const auto &) { return ServidorHttpDeTeste::Resposta{204, "não é JSON", "text/plain"}; });
        for (const Caso &c : casos) {
            const ResultadoVazio r = esperar(c.chamar(api()));
            QVERIFY2(r, qPrintable(QString::fromLatin1(c.caminho) + ": " + descricao(r)));
            const auto p = srv->ultimo();
            QCOMPARE(p.metodo, QByteArray("POST"));
            QCOMPARE(p.caminho(), QByteArray(c.caminho));
            QCOMPARE(p.query(), QByteArray("token=t"));
            QCOMPARE(p.cabecalhos.value("content-type"), QByteArray("application/json"));
            QCOMPARE(QJsonDocument::fromJson(p.corpo).object(), QJsonDocument::fromJson(c.corpo).object());
            QVERIFY2(!p.corpo.contains('\n'), p.corpo.constData());   // compact
        }
        QCOMPARE(srv->pedidos().size(), casos.size());
    }

    void criarTokenCorpo()
    {
        srv->responder("/api/admin/criar-token", 200, R"({"ok":true,"token":"novo-token"})");
        const QList<EscopoItem> escopo = {
            {"produtora", QStringLiteral("d1"), std::nullopt, std::nullopt},
            {"projeto", std::nullopt, std::nullopt, QStringLiteral("p9")},
        };
        const auto r = esperar(api().criarToken("adm", "Câmera 2", escopo, true));
        QVERIFY(r);
        QCOMPARE(r.valor(), QStringLiteral("novo-token"));
        const QJsonObject corpo = srv->ultimo().json();
        QCOMPARE(corpo.keys(), (QStringList{"escopo", "nome", "semValidade"}));
        QCOMPARE(corpo.value("nome").toString(), QStringLiteral("Câmera 2"));
        QCOMPARE(corpo.value("semValidade"), QJsonValue(true));
        const QJsonArray itens = corpo.value("escopo").toArray();
        QCOMPARE(itens.size(), 2);   // in the given order, ids only when set
        QCOMPARE(itens[0].toObject(), (QJsonObject{{"tipo", "produtora"}, {"produtoraId", "d1"}}));
        QCOMPARE(itens[1].toObject(), (QJsonObject{{"tipo", "projeto"}, {"projetoId", "p9"}}));
    }

    void criarTokenRespostas_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("corpo");
        QTest::addColumn<QString>("esperado");   // the token, or the failure's description
        QTest::newRow("ok") << 200 << QByteArray(R"({"ok":true,"token":"T"})") << "T";
        QTest::newRow("ok falso sem erro") << 200 << QByteArray(R"({"ok":false})")
                                           << "Servidor respondeu 400: falha desconhecida";
        QTest::newRow("ok falso com erro") << 201 << QByteArray(R"({"ok":false,"erro":"fora do escopo"})")
                                           << "Servidor respondeu 400: fora do escopo";
        QTest::newRow("ok sem token") << 200 << QByteArray(R"({"ok":true,"token":null})")
                                      << "Servidor respondeu 400: falha desconhecida";
        QTest::newRow("recusa http") << 403 << QByteArray(R"({"erro":"não é admin"})") << "Servidor respondeu 403: não é admin";
        QTest::newRow("corpo inválido") << 200 << QByteArray(R"({"token":"T"})")
                                        << "Resposta inválida do servidor: falta o campo \"ok\"";
    }
    void criarTokenRespostas()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, corpo);
        QFETCH(QString, esperado);
        srv->responder("/api/admin/criar-token", status, corpo);
        const auto r = esperar(api().criarToken("adm", "n", {}, false));
        QCOMPARE(r ? r.valor() : r.falha().descricao(), esperado);
        QCOMPARE(srv->ultimo().json().value("escopo"), QJsonValue(QJsonArray()));
    }

    void semServidor_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::newRow("porta recusada") << "recusada";
        QTest::newRow("servidor mudo") << "mudo";
        QTest::newRow("não HTTP") << "naoHttp";
    }
    void semServidor()
    {
        QFETCH(QString, caso);
        APIClient a{srv->base(), 300ms};
        if (caso == "recusada")
            a.baseURL = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(Ambiente::portaLivre()));
        else if (caso == "mudo")
            srv->aoReceber([](const auto &) { return ServidorHttpDeTeste::Resposta{.silencio = true}; });
        else
            a.baseURL = QUrl::fromLocalFile(Ambiente::raiz());

        QElapsedTimer t;
        t.start();
        const auto g = esperar(a.status("t"));
        const auto p = esperar(a.apagarNucleo("t", "n"));
        for (const Falha &f : {g.falha(), p.falha()}) {
            QVERIFY(f.api());
            QCOMPARE(*f.api(), ErroAPI::semServidor());
            QCOMPARE(f.descricao(), QStringLiteral("Não consegui falar com o servidor local."));
        }
        QVERIFY2(t.elapsed() < 10000, "the short time-out was not applied");
    }

    void prazoPadrao() { QCOMPARE(APIClient{}.prazo, std::chrono::milliseconds(60s)); }

    void medirPing_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<bool>("temValor");
        QTest::newRow("200") << "200" << true;
        QTest::newRow("404") << "404" << false;
        QTest::newRow("mudo") << "mudo" << false;
        QTest::newRow("gotejando") << "gotejando" << false;   // never silent, never done
        QTest::newRow("recusada") << "recusada" << false;
        QTest::newRow("endereço inválido") << "invalido" << false;
    }
    void medirPing()
    {
        QFETCH(QString, caso);
        QFETCH(bool, temValor);
        QString endereco = srv->base().toString();
        if (caso == "200")
            srv->responder("/netinfo", 200, R"({"build":"x"})");
        else if (caso == "404")
            srv->responder("/outro", 200, "{}");   // /netinfo falls to 404
        else if (caso == "mudo")
            srv->aoReceber([](const auto &) { return ServidorHttpDeTeste::Resposta{.silencio = true}; });
        else if (caso == "gotejando")
            srv->aoReceber([](const auto &) { return ServidorHttpDeTeste::Resposta{.gotejarMs = 50}; });
        else if (caso == "recusada")
            endereco = QStringLiteral("http://127.0.0.1:%1").arg(Ambiente::portaLivre());
        else
            endereco = QStringLiteral("http://[::1");

        const double prazo = 0.4;
        QElapsedTimer t;
        t.start();
        const std::optional<qint64> ms = esperar(APIClient::medirPing(endereco, prazo));
        const qint64 decorrido = t.elapsed();
        QCOMPARE(ms.has_value(), temValor);
        if (ms)
            QVERIFY(*ms >= 0 && *ms <= decorrido);
        QVERIFY2(decorrido < prazo * 1000 + 1500, qPrintable(QString::number(decorrido)));
        if (caso == "200" || caso == "404") {
            QCOMPARE(srv->ultimo().caminho(), QByteArray("/netinfo"));
            QVERIFY(srv->ultimo().query().isEmpty());   // no token on the ping
        }
    }

    // Against the stand-in local server, as the poll uses it.
    void contraServidorLocal()
    {
        ServidorLocal s;
        QVERIFY2(s.iniciar(), qPrintable(s.saida()));
        const APIClient a{s.url()};
        const QString token = ServidorLocal::tokenDemo();

        s.controle(QStringLiteral("presenca"),
                   {{"sessoes", QJsonArray{QJsonObject{{"iniciais", "AB"}, {"elemento", "E1"}, {"rede", "wifi"}},
                                           QJsonObject{{"iniciais", "CD"}}}}});
        const auto st = esperar(a.status(token));
        QVERIFY2(st, qPrintable(st ? QString() : st.falha().descricao()));
        QVERIFY(!st->build.isEmpty());
        QCOMPARE(st->conexoes, 2);

        const auto pr = esperar(a.presenca(token));
        QVERIFY(pr);
        QCOMPARE(pr->sessoes.size(), 2);
        QCOMPARE(pr->sessoes[0].id(), QStringLiteral("ABE1"));
        QVERIFY(!pr->sessoes[1].elemento && !pr->sessoes[1].projeto);

        const auto es = esperar(a.escopoDisponivel(token));
        QVERIFY2(es, qPrintable(es ? QString() : es.falha().descricao()));
        QVERIFY(es->global && es->administra());

        // A token the server does not know, with characters a query could mangle.
        const auto recusa = esperar(a.status(QStringLiteral("a+b&c=d ção")));
        QVERIFY(!recusa);
        QCOMPARE(recusa.falha().descricao(), QStringLiteral("Servidor respondeu 401: token inválido"));
    }
};

QV_TESTE_SEM_GUI(TesteAPIClient)
#include "tst_apiclient.moc"
