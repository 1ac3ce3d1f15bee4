// The state object's settings, workbench mode, login item and start-up
// options, against real settings files in an isolated home.
#include "Ambiente.h"
#include "AjustesQuilvo.h"
#include "AppState.h"
#include "ItemDeLogin.h"
#include "Plataforma.h"
#include "Secoes.h"
#include "ServidorLocal.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
void limparAjustes()
{
    AjustesQuilvo s;
    s.clear();
    s.sync();
}
QVariant lido(const QString &chave)
{
    AjustesQuilvo s;
    s.sync();
    return s.value(chave);
}
void gravarCru(const QString &chave, const QVariant &v)
{
    AjustesQuilvo s;
    s.setValue(chave, v);
    s.sync();
}
} // namespace

class TesteAppState : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        qunsetenv("QUILVO_BANCADA_TOKEN");
        qunsetenv("QUILVO_BANCADA_URL");
        qunsetenv("QUILVO_BANCADA_TEMA");
        AppState::recalcularBancadaParaTestes();
        limparAjustes();
        QFile::remove(Plataforma::arquivoToken());
        QFile::remove(ItemDeLogin::caminho(QStringLiteral("quilvo")));
    }

    void primeiraExecucaoNumaContaLimpa()
    {
        AppState e;
        QCOMPARE(e.pastaRepo(), Ambiente::raiz() + "/data/VarkeloLocal/servidor");
        QCOMPARE(e.baseURLTexto(), QStringLiteral("http://localhost:1440"));
        QVERIFY(e.iniciarServidorAutomaticamente());
        QVERIFY(e.mostrarLuzAtividade());
        QCOMPARE(e.temaId(), QStringLiteral("theme-apple-dark"));
        QCOMPARE(e.perfil(), Perfil::set);
        QVERIFY(!e.tokenProtegido());
        QVERIFY(e.token().isEmpty());
        QVERIFY(!e.abrirComSistema());
        QCOMPARE(e.secaoPainel(), SecaoPainel::geral);
        QVERIFY(!e.status() && !e.escopo() && !e.erro());
        // construction writes nothing
        QVERIFY(AjustesQuilvo().allKeys().isEmpty());
        QTest::qWait(50);
        QVERIFY(!e.timerStatus());   // no token: no scope load, no polling
    }

    void booleanosSoContamQuandoSaoBooleanos_data()
    {
        QTest::addColumn<QVariant>("guardado");
        QTest::addColumn<bool>("esperado");
        QTest::newRow("false") << QVariant(false) << false;
        QTest::newRow("true") << QVariant(true) << true;
        QTest::newRow("texto sim") << QVariant(QStringLiteral("sim")) << true;
        QTest::newRow("numero 0") << QVariant(0) << true;
        QTest::newRow("texto vazio") << QVariant(QString()) << true;
    }
    void booleanosSoContamQuandoSaoBooleanos()
    {
        QFETCH(QVariant, guardado);
        QFETCH(bool, esperado);
        gravarCru(QStringLiteral("iniciarServidorAutomaticamente"), guardado);
        gravarCru(QStringLiteral("mostrarLuzAtividade"), guardado);
        AppState e;
        QCOMPARE(e.iniciarServidorAutomaticamente(), esperado);
        QCOMPARE(e.mostrarLuzAtividade(), esperado);
    }

    void textosGuardadosEFalhas()
    {
        gravarCru(QStringLiteral("perfil"), QStringLiteral("diretor"));
        gravarCru(QStringLiteral("baseURL"), QStringLiteral("não é endereço"));
        gravarCru(QStringLiteral("tema"), QStringLiteral("theme-ocean"));
        AppState e;
        QCOMPARE(e.perfil(), Perfil::set);
        QCOMPARE(e.baseURLTexto(), QStringLiteral("não é endereço"));
        QCOMPARE(e.baseURL(), QUrl(QStringLiteral("http://localhost:1440")));
        QCOMPARE(e.temaId(), QStringLiteral("theme-ocean"));

        e.setPerfil(Perfil::tecnico);
        e.setBaseURLTexto(QStringLiteral("http://127.0.0.1:1555"));
        QCOMPARE(lido("perfil").toString(), QStringLiteral("tecnico"));
        QCOMPARE(e.portaDoServidor(), 1555);
        e.setIniciarServidorAutomaticamente(false);
        QCOMPARE(lido("iniciarServidorAutomaticamente").toString(), QStringLiteral("false"));
        AppState outra;
        QVERIFY(!outra.iniciarServidorAutomaticamente());
        QCOMPARE(outra.perfil(), Perfil::tecnico);
    }

    void tokenSalvoEmCadaMudanca()
    {
        AppState e;
        e.setToken(QStringLiteral("abc"));
        QFile f(Plataforma::arquivoToken());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("abc"));
        e.setToken(QString());
        QVERIFY(!QFile::exists(Plataforma::arquivoToken()));
    }

    void bancadaComTokenVazioEhModoNormal()
    {
        qputenv("QUILVO_BANCADA_TOKEN", "");
        AppState::recalcularBancadaParaTestes();
        QVERIFY(!AppState::bancada());
    }

    void modoBancada()
    {
        gravarCru(QStringLiteral("baseURL"), QStringLiteral("http://guardado:1"));
        gravarCru(QStringLiteral("tema"), QStringLiteral("theme-ocean"));
        qputenv("QUILVO_BANCADA_TOKEN", "tok-bancada");
        qputenv("QUILVO_BANCADA_TEMA", "theme-cinema");
        AppState::recalcularBancadaParaTestes();
        AppState e;
        QCOMPARE(e.token(), QStringLiteral("tok-bancada"));
        QCOMPARE(e.baseURLTexto(), QStringLiteral("http://localhost:1442"));
        QVERIFY(!e.iniciarServidorAutomaticamente());
        QCOMPARE(e.temaId(), QStringLiteral("theme-cinema"));
        QVERIFY(e.timerStatus());
        QCOMPARE(e.timerStatus()->interval(), 10000);

        e.setTemaId(QStringLiteral("theme-brasil"));
        e.setPastaRepo(QStringLiteral("/tmp/outra"));
        e.setPerfil(Perfil::gestao);
        e.setToken(QStringLiteral("outro"));
        e.setMostrarLuzAtividade(false);
        QCOMPARE(lido("tema").toString(), QStringLiteral("theme-ocean"));
        QVERIFY(!lido("pastaRepo").isValid());
        QVERIFY(!lido("perfil").isValid());
        QCOMPARE(lido("mostrarLuzAtividade").toString(), QStringLiteral("false"));
        QVERIFY(!QFile::exists(Plataforma::arquivoToken()));

        // the supervisor never starts or stops a server here
        e.iniciarServidor();
        QVERIFY(!e.subindo());
        QVERIFY(!e.processo()->rodando());

        qputenv("QUILVO_BANCADA_URL", "");
        AppState::recalcularBancadaParaTestes();
        QCOMPARE(AppState::bancada()->url, QString());
    }

    void itemDeLogin()
    {
        AppState e;
        e.setAbrirComSistema(true);
        QVERIFY(ItemDeLogin::habilitado(QStringLiteral("quilvo")));
        QFile f(ItemDeLogin::caminho(QStringLiteral("quilvo")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("Exec=" + QCoreApplication::applicationFilePath().toUtf8()));
        f.close();
        QVERIFY(AppState().abrirComSistema());
        e.setAbrirComSistema(false);
        QVERIFY(!QFile::exists(ItemDeLogin::caminho(QStringLiteral("quilvo"))));

        // an entry marked hidden counts as not enabled
        QVERIFY(!ItemDeLogin::registrar(QStringLiteral("quilvo"), QStringLiteral("Quilvo"), QStringLiteral("/x")));
        QVERIFY(f.open(QIODevice::Append));
        f.write("Hidden=true\n");
        f.close();
        QVERIFY(!AppState().abrirComSistema());
        QFile::remove(ItemDeLogin::caminho(QStringLiteral("quilvo")));
    }

    void itemDeLoginRecusado()
    {
        // a file where the autostart folder should be makes registering fail
        const QString pasta = QFileInfo(ItemDeLogin::caminho(QStringLiteral("quilvo"))).absolutePath();
        QDir(pasta).removeRecursively();
        QDir().mkpath(QFileInfo(pasta).absolutePath());
        QFile bloqueio(pasta);
        QVERIFY(bloqueio.open(QIODevice::WriteOnly));
        bloqueio.close();

        AppState e;
        e.setAbrirComSistema(true);
        QVERIFY(e.abrirComSistema());
        QVERIFY(e.erro());
        QVERIFY2(e.erro()->startsWith(QStringLiteral("Não consegui mudar abertura automática: ")), qPrintable(*e.erro()));
        QVERIFY(e.erro()->size() > QStringLiteral("Não consegui mudar abertura automática: ").size());
        QFile::remove(pasta);
    }

    void argumentoPainel_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("pedido");
        QTest::addColumn<QString>("secao");
        QTest::newRow("rede") << QStringList{"quilvo", "--painel=rede"} << true << "rede";
        QTest::newRow("sozinho") << QStringList{"quilvo", "--painel"} << true << "";
        QTest::newRow("desconhecida") << QStringList{"quilvo", "--painel=cozinha"} << true << "";
        QTest::newRow("iguais a mais") << QStringList{"quilvo", "--painel==diario=x"} << true << "diario";
        QTest::newRow("so o primeiro") << QStringList{"quilvo", "--painel", "--painel=rede"} << true << "";
        QTest::newRow("nenhum") << QStringList{"quilvo", "--bolso"} << false << "";
        QTest::newRow("prefixo") << QStringList{"quilvo", "--painelx=ajustes"} << true << "ajustes";
    }
    void argumentoPainel()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, pedido);
        QFETCH(QString, secao);
        const auto r = Secoes::painelNosArgumentos(args);
        QCOMPARE(r.pedido, pedido);
        QCOMPARE(r.secao ? Secoes::textoDaSecao(*r.secao) : QString(), secao);
    }

    void servidorVoltaDepoisDaAutoAtualizacao()
    {
        // a shipped runtime (the system's node) and a stand-in server package
        QTemporaryDir recursos;
        QDir(recursos.path()).mkpath(QStringLiteral("runtime"));
        QVERIFY(QFile::link(QStandardPaths::findExecutable(QStringLiteral("node")), recursos.path() + "/runtime/node"));
        qputenv("QUILVO_RECURSOS", recursos.path().toUtf8());
        QTemporaryDir pacote;
        const quint16 porta = Ambiente::portaLivre();
        qputenv("PORTA", QByteArray::number(porta));
        QVERIFY(ServidorLocal::copiarPacote(pacote.path()));

        gravarCru(QStringLiteral("subirServidorAposAtualizar"), true);
        gravarCru(QStringLiteral("iniciarServidorAutomaticamente"), false);
        gravarCru(QStringLiteral("pastaRepo"), pacote.path());
        gravarCru(QStringLiteral("baseURL"), QStringLiteral("http://127.0.0.1:%1").arg(porta));
        QFile t(Plataforma::arquivoToken());
        QDir().mkpath(QFileInfo(t).absolutePath());
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write("token-demo-gestao");
        t.close();

        {
            AppState e;
            QVERIFY(!lido("subirServidorAposAtualizar").isValid());
            QTRY_VERIFY_WITH_TIMEOUT(e.processo()->rodando(), 5000);
            QCOMPARE(e.processo()->log().first(), QStringLiteral("— iniciado —"));
            e.pararServidor();
            QTRY_VERIFY_WITH_TIMEOUT(!e.processo()->rodando(), 5000);
        }
        // read and removed: the next start does not start it again
        AppState depois;
        QTest::qWait(300);
        QVERIFY(!depois.processo()->rodando());
        qunsetenv("PORTA");
        qunsetenv("QUILVO_RECURSOS");
        QFile::remove(Plataforma::arquivoToken());
    }
};

QV_TESTE_SEM_GUI(TesteAppState)
#include "tst_app_state.moc"
