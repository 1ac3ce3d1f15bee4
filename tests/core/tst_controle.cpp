// The supervisor's control loop (polling, automatic restart, adoption, theme
// sync, first contact) against the stand-in local server and real children.
#include "Ambiente.h"
#include "AjustesQuilvo.h"
#include "AppState.h"
#include "Plataforma.h"
#include "Relogio.h"
#include "ServidorLocal.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace std::chrono_literals;

namespace {

int contar(const QStringList &log, const QString &linha) { return int(log.count(linha)); }

// The state object pointed at `url`, logged in with `token`, nothing started.
std::unique_ptr<AppState> estadoPara(const QString &url, const QString &token, bool automatico)
{
    AjustesQuilvo().clear();
    QFile::remove(Plataforma::arquivoToken());
    auto e = std::make_unique<AppState>();
    e->setBaseURLTexto(url);
    e->setIniciarServidorAutomaticamente(automatico);
    e->setToken(token);
    e->definirCatalogoDeTemas([](const QString &id) {
        return id.startsWith(QLatin1String("theme-")) && id != QLatin1String("theme-inexistente");
    });
    return e;
}

QStringList caminhosPedidos(ServidorLocal &s)
{
    QStringList r;
    for (const QJsonValue &v : s.controleGet(QStringLiteral("requisicoes")).value("requisicoes").toArray())
        r << v.toObject().value("caminho").toString() + "?" + v.toObject().value("token").toString();
    return r;
}

} // namespace

class TesteControle : public QObject {
    Q_OBJECT

    QTemporaryDir recursos;

private slots:
    void initTestCase()
    {
        // the shipped runtime is the system's node
        QDir(recursos.path()).mkpath(QStringLiteral("runtime"));
        QVERIFY(QFile::link(QStandardPaths::findExecutable(QStringLiteral("node")), recursos.path() + "/runtime/node"));
        qputenv("QUILVO_RECURSOS", recursos.path().toUtf8());
    }

    void init() { Relogio::zerar(); }

    void pollPedeStatusDepoisPresencaComToken()
    {
        ServidorLocal s;
        QVERIFY(s.iniciar());
        s.controle(QStringLiteral("presenca"),
                   {{"sessoes", QJsonArray{QJsonObject{{"iniciais", "AB"}, {"elemento", "E1"}}}}});
        s.controle(QStringLiteral("requisicoes/limpar"));
        auto e = estadoPara(s.urlTexto(), ServidorLocal::tokenDemo(), false);
        e->atualizarStatus();
        QTRY_COMPARE(e->sessoes().size(), 1);
        QVERIFY(e->status());
        QVERIFY(!e->erro());
        QCOMPARE(e->estadoIcone(), EstadoIcone::funcionando);
        QCOMPARE(caminhosPedidos(s), (QStringList{"/api/admin/status?token-demo-gestao", "/api/admin/presenca?token-demo-gestao"}));
        QCOMPARE(e->sessoes().first().iniciais, QStringLiteral("AB"));
    }

    void falhasDoPollViramFrases()
    {
        ServidorLocal s;
        QVERIFY(s.iniciar());
        auto e = estadoPara(s.urlTexto(), QStringLiteral("token-que-nao-existe"), false);
        e->atualizarStatus();
        QTRY_VERIFY(e->erro());
        QVERIFY2(e->erro()->startsWith(QStringLiteral("Servidor respondeu 401: ")), qPrintable(*e->erro()));
        QVERIFY(!e->status());

        auto morto = estadoPara(QStringLiteral("http://127.0.0.1:%1").arg(Ambiente::portaLivre()), QStringLiteral("t"), false);
        morto->atualizarStatus();
        QTRY_COMPARE(morto->erro(), std::optional<QString>(QStringLiteral("Não consegui falar com o servidor local.")));
        QCOMPARE(morto->estadoIcone(), EstadoIcone::parado);
        QCOMPARE(morto->textoAtividade(), morto->erro());

        // logged out: no request, status cleared
        morto->setToken(QString());
        morto->atualizarStatus();
        QVERIFY(!morto->status());
    }

    void religaDepoisDeDuasFalhasNoMaximoACada30s()
    {
        const quint16 porta = Ambiente::portaLivre();
        QTemporaryDir pasta;
        QVERIFY(QFile::copy(Ambiente::fonte(QStringLiteral("tests/fixtures/servidor-que-cai/server.js")), pasta.path() + "/server.js"));
        auto e = estadoPara(QStringLiteral("http://127.0.0.1:%1").arg(porta), QStringLiteral("t"), true);
        e->setPastaRepo(pasta.path());
        ServerProcess *p = e->processo();
        const auto iniciados = [p] { return contar(p->log(), QStringLiteral("— iniciado —")); };
        const auto pollar = [&e] {
            QSignalSpy fim(e.get(), &AppState::pollConcluido);
            e->atualizarStatus();
            QTRY_COMPARE(fim.count(), 1);
        };

        pollar();
        QCOMPARE(e->erro(), std::optional<QString>(QStringLiteral("Não consegui falar com o servidor local.")));
        QCOMPARE(e->falhasSeguidasDeStatus(), 1);
        QCOMPARE(iniciados(), 0);

        pollar();
        QTRY_COMPARE(iniciados(), 1);
        QCOMPARE(e->erro(), std::optional<QString>(QStringLiteral("O servidor local parou de responder — subindo de novo sozinho…")));
        QTRY_VERIFY(!p->rodando());   // the fixture dies at once

        // two more failures within 30 s: no restart, the count keeps growing
        pollar();
        QCOMPARE(e->falhasSeguidasDeStatus(), 1);
        pollar();
        QCOMPARE(e->falhasSeguidasDeStatus(), 2);
        QTest::qWait(300);
        QCOMPARE(iniciados(), 1);

        Relogio::avancar(31s);
        pollar();
        QTRY_COMPARE(iniciados(), 2);
        QCOMPARE(e->falhasSeguidasDeStatus(), 0);
    }

    void semInicioAutomaticoNuncaReliga()
    {
        QTemporaryDir pasta;
        QVERIFY(QFile::copy(Ambiente::fonte(QStringLiteral("tests/fixtures/servidor-que-cai/server.js")), pasta.path() + "/server.js"));
        auto e = estadoPara(QStringLiteral("http://127.0.0.1:%1").arg(Ambiente::portaLivre()), QStringLiteral("t"), false);
        e->setPastaRepo(pasta.path());
        for (int i = 0; i < 4; ++i) {
            QSignalSpy fim(e.get(), &AppState::pollConcluido);
            e->atualizarStatus();
            QTRY_COMPARE(fim.count(), 1);
            Relogio::avancar(31s);
        }
        QVERIFY(e->erro());
        QVERIFY(e->processo()->log().isEmpty());
        QCOMPARE(e->falhasSeguidasDeStatus(), 0);
    }

    void adotaServidorQueJaResponde()
    {
        ServidorLocal s;
        QVERIFY(s.iniciar());
        auto e = estadoPara(s.urlTexto(), ServidorLocal::tokenDemo(), true);
        QSignalSpy adotado(e.get(), &AppState::servidorAdotadoChanged);
        e->iniciarServidor();
        QVERIFY(e->subindo());
        e->iniciarServidor();   // a second start while the first runs does nothing
        QTRY_VERIFY(e->servidorAdotado());
        QVERIFY(!e->subindo());
        e->iniciarServidor();
        QTRY_VERIFY(!e->subindo());
        const QString linha = QStringLiteral("— já havia um servidor no ar nesta porta: adotado, não subo outro —");
        QCOMPARE(contar(e->processo()->log(), linha), 1);
        QVERIFY(!e->processo()->rodando());
        QVERIFY(!e->processo()->log().contains(QStringLiteral("— iniciado —")));

        // stopping an adopted server goes through its port
        e->pararServidor();
        QVERIFY(!e->servidorAdotado());
        QVERIFY(e->processo()->log().last().startsWith(QStringLiteral("— servidor adotado (pid %1) parado —").arg(s.pid())));
        QVERIFY(s.esperarFim(5000) >= 0);
    }

    void naoMataQuemNaoEhServidor()
    {
        // something else answers netinfo on the port: adopted, never signalled
        QTcpServer estranho;
        QVERIFY(estranho.listen(QHostAddress::LocalHost, 0));
        connect(&estranho, &QTcpServer::newConnection, &estranho, [&estranho] {
            QTcpSocket *c = estranho.nextPendingConnection();
            connect(c, &QTcpSocket::readyRead, c, [c] {
                c->readAll();
                c->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}");
                c->disconnectFromHost();
            });
        });
        auto e = estadoPara(QStringLiteral("http://127.0.0.1:%1").arg(estranho.serverPort()), QStringLiteral("t"), true);
        e->iniciarServidor();
        QTRY_VERIFY(e->servidorAdotado());
        e->pararServidor();
        QCOMPARE(e->processo()->log().last(), QStringLiteral("— nada nosso escutando a porta %1 —").arg(estranho.serverPort()));
        QVERIFY(estranho.isListening());
    }

    void carregarEscopoEsperaOServidorSubir()
    {
        const quint16 porta = Ambiente::portaLivre();
        QTemporaryDir pasta;
        QVERIFY(ServidorLocal::copiarPacote(pasta.path()));
        qputenv("PORTA", QByteArray::number(porta));
        qputenv("ATRASO_INICIO", "3000");
        auto e = estadoPara(QStringLiteral("http://127.0.0.1:%1").arg(porta), ServidorLocal::tokenDemo(), true);
        e->setPastaRepo(pasta.path());
        e->carregarEscopo(6);
        QTRY_VERIFY(e->processo()->rodando());
        QTRY_COMPARE_WITH_TIMEOUT(e->erro(), std::optional<QString>(QStringLiteral("Conectando ao servidor local…")), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(e->escopo(), 15000);
        QVERIFY(!e->erro());
        QVERIFY(e->timerStatus());
        QCOMPARE(e->timerStatus()->interval(), 10000);
        QTRY_VERIFY(e->status());
        qunsetenv("PORTA");
        qunsetenv("ATRASO_INICIO");
        e->pararServidor();
        QTRY_VERIFY_WITH_TIMEOUT(!e->processo()->rodando(), 5000);
    }

    void carregarEscopoSemServidorMostraAFalha()
    {
        auto e = estadoPara(QStringLiteral("http://127.0.0.1:%1").arg(Ambiente::portaLivre()), QStringLiteral("t"), false);
        e->carregarEscopo(6);
        QTRY_COMPARE(e->erro(), std::optional<QString>(QStringLiteral("Não consegui falar com o servidor local.")));
        QVERIFY(!e->timerStatus());
    }

    void temaDoServidorSeguidoComGuardaDe5s()
    {
        ServidorLocal s;
        QVERIFY(s.iniciar());
        auto e = estadoPara(s.urlTexto(), ServidorLocal::tokenDemo(), false);
        const auto pollar = [&e] {
            QSignalSpy fim(e.get(), &AppState::pollConcluido);
            e->atualizarStatus();
            QTRY_COMPARE(fim.count(), 1);
        };

        s.controle(QStringLiteral("status"), {{"tema", "theme-ocean"}});
        pollar();
        QCOMPARE(e->temaId(), QStringLiteral("theme-ocean"));
        QCOMPARE(AjustesQuilvo().value("tema").toString(), QStringLiteral("theme-ocean"));

        // a local choice is posted to the server and wins for 5 seconds
        e->escolherTema(QStringLiteral("theme-cinema"));
        s.controle(QStringLiteral("status"), {{"tema", QJsonValue(QJsonValue::Null)}});
        QTRY_VERIFY(caminhosPedidos(s).contains(QStringLiteral("/api/local/tema?token-demo-gestao")));
        s.controle(QStringLiteral("status"), {{"tema", "theme-brasil"}});
        pollar();
        QCOMPARE(e->temaId(), QStringLiteral("theme-cinema"));
        Relogio::avancar(6s);
        pollar();
        QCOMPARE(e->temaId(), QStringLiteral("theme-brasil"));

        s.controle(QStringLiteral("status"), {{"tema", "theme-inexistente"}});
        pollar();
        QCOMPARE(e->temaId(), QStringLiteral("theme-brasil"));
    }

    void mudancaDeBuildMostraAtualizandoPor4s()
    {
        ServidorLocal s;
        QVERIFY(s.iniciar());
        auto e = estadoPara(s.urlTexto(), ServidorLocal::tokenDemo(), false);
        e->atualizarStatus();
        QTRY_VERIFY(e->status());
        QVERIFY(!e->atualizandoAgora());
        s.controle(QStringLiteral("status"), {{"build", "novo-99"}});
        e->atualizarStatus();
        QTRY_VERIFY(e->atualizandoAgora());
        QCOMPARE(e->estadoIcone(), EstadoIcone::atualizando);
        QCOMPARE(e->textoAtividade(), std::optional<QString>(QStringLiteral("Atualizando para a geração mais nova…")));
        QTest::qWait(3000);
        QVERIFY(e->atualizandoAgora());
        QTRY_VERIFY_WITH_TIMEOUT(!e->atualizandoAgora(), 2500);
    }

    void atualizacaoProntaSoComSetOcioso()
    {
        ServidorLocal s;
        QVERIFY(s.iniciar());
        auto e = estadoPara(s.urlTexto(), ServidorLocal::tokenDemo(), false);
        e->atualizadorApp()->definirEtapa({Etapa::Caso::pronta, QStringLiteral("Quilvo 42")});
        const auto pollar = [&e] {
            QSignalSpy fim(e.get(), &AppState::pollConcluido);
            e->atualizarStatus();
            QTRY_COMPARE(fim.count(), 1);
        };
        s.controle(QStringLiteral("status"), {{"ocioso", false}});
        pollar();
        s.controle(QStringLiteral("status"), {{"ocioso", QJsonValue(QJsonValue::Null)}});
        pollar();
        QCOMPARE(e->atualizadorApp()->pedidosDeInstalacao, 0);
        QCOMPARE(e->estadoIcone(), EstadoIcone::atualizacaoPendente);
        s.controle(QStringLiteral("status"), {{"ocioso", true}});
        pollar();
        QCOMPARE(e->atualizadorApp()->pedidosDeInstalacao, 1);

        // a failed poll with no child of ours installs too
        s.parar();
        e->atualizarStatus();
        QTRY_COMPARE(e->atualizadorApp()->pedidosDeInstalacao, 2);
    }
};

QV_TESTE_SEM_GUI(TesteControle)
#include "tst_controle.moc"
