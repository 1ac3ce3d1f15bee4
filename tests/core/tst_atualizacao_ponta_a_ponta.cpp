// The managed server end to end: the supervisor downloads the package from the
// cloud stand-in on the first run, seeds the first person, runs the server as
// a real child, and later applies a build the cloud announces and restarts
// the child. Real HTTP over loopback, real tar, real node.
#include "Ambiente.h"
#include "AjustesQuilvo.h"
#include "AppState.h"
#include "AtualizadorServidor.h"
#include "NuvemDeTeste.h"
#include "Plataforma.h"
#include "Relogio.h"
#include "ServidorLocal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace std::chrono_literals;

namespace {

QString gerenciada(const QString &rel = {})
{
    return rel.isEmpty() ? Plataforma::pastaServidorGerenciada()
                         : QDir(Plataforma::pastaServidorGerenciada()).filePath(rel);
}

QByteArray ler(const QString &caminho)
{
    QFile f(caminho);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int contar(const QStringList &log, const QString &linha) { return int(log.count(linha)); }

// Stops the state's child when a test ends, also when a check bailed out
// early, and waits for it to be gone so the next test finds a free port.
struct ParadaGarantida {
    AppState *e;
    ~ParadaGarantida()
    {
        e->pararServidor();
        QElapsedTimer t;
        t.start();
        while (e->processo()->rodando() && t.elapsed() < 8000)
            QTest::qWait(50);
    }
};

} // namespace

class TestePontaAPonta : public QObject {
    Q_OBJECT

    QTemporaryDir recursos_;
    std::unique_ptr<NuvemDeTeste> nuvem_;
    quint16 porta_ = 0;

    void controlar(const char *nome, const QJsonObject &corpo)
    {
        QVERIFY2(!nuvem_->controlar(QString::fromLatin1(nome), corpo).isEmpty(), nome);
    }

    // A state object as the app builds it at launch with no settings, then
    // pointed at the child's port and logged in. Nothing is scheduled yet:
    // the token arrives after construction.
    std::unique_ptr<AppState> novoEstado()
    {
        auto e = std::make_unique<AppState>();
        e->setBaseURLTexto(QStringLiteral("http://127.0.0.1:%1").arg(porta_));
        e->setToken(ServidorLocal::tokenDemo());
        return e;
    }

private slots:
    void initTestCase()
    {
        // the shipped runtime is the system's node
        QVERIFY(recursos_.isValid());
        QDir(recursos_.path()).mkpath(QStringLiteral("runtime"));
        const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
        QVERIFY(!node.isEmpty());
        QVERIFY(QFile::link(node, recursos_.path() + "/runtime/node"));
        qputenv("QUILVO_RECURSOS", recursos_.path().toUtf8());

        // the cloud packs the project's stand-in local server
        nuvem_ = std::make_unique<NuvemDeTeste>();
        QVERIFY2(nuvem_->iniciar(), qPrintable(nuvem_->saida()));
        nuvem_->apontarAmbiente();
    }

    void init()
    {
        controlar("zerar", {});
        AtualizadorServidor::zerarEstado();
        Relogio::zerar();
        AjustesQuilvo().clear();
        QFile::remove(Plataforma::arquivoToken());
        QDir(gerenciada()).removeRecursively();
        // The child inherits our environment: it listens where the state polls.
        porta_ = Ambiente::portaLivre();
        qputenv("PORTA", QByteArray::number(porta_));
    }

    // First run into an empty managed folder, then a build announced by the
    // cloud: applied by the poll, the child restarted on the new package, the
    // seeded data kept.
    void primeiraExecucaoEDepoisAtualizacao()
    {
        QVERIFY(!QFileInfo::exists(gerenciada("server.js")));
        auto e = novoEstado();
        ParadaGarantida parada{e.get()};
        QVERIFY(AtualizadorServidor::ehInstalacaoGerenciada(e->pastaRepo()));
        QVERIFY(e->iniciarServidorAutomaticamente());
        ServerProcess *p = e->processo();
        const auto iniciados = [p] { return contar(p->log(), QStringLiteral("— iniciado —")); };
        const auto parados = [p] { return contar(p->log(), QStringLiteral("— parado —")); };

        QStringList erros;   // every notice the state showed, in order
        connect(e.get(), &AppState::erroChanged, this, [&erros, &e] {
            if (e->erro())
                erros << *e->erro();
        });

        QElapsedTimer relogio;
        relogio.start();
        e->carregarEscopo(6);

        // downloaded, seeded, started, scope loaded, polled
        QTRY_VERIFY_WITH_TIMEOUT(e->escopo().has_value(), 15000);
        QVERIFY(QFileInfo::exists(gerenciada("server.js")));
        QVERIFY(QFileInfo::exists(gerenciada("lib/api.js")));
        QCOMPARE(ler(gerenciada("BUILD")).split('\n').value(0).trimmed(), QByteArray("40"));
        QVERIFY(p->rodando());
        QCOMPARE(iniciados(), 1);
        QVERIFY2(!e->servidorAdotado(), "our own child, not an adopted one");
        QTRY_VERIFY_WITH_TIMEOUT(e->status().has_value(), 10000);
        QCOMPARE(e->status()->build, QStringLiteral("40"));
        QVERIFY2(!e->erro(), qPrintable(e->erro().value_or(QString())));
        QCOMPARE(nuvem_->contagem("/pacote-servidor-local.tar.gz"), 1);

        // the seeded person is what lets the demo token in
        const QByteArray pessoas = ler(gerenciada("data/pessoas.json"));
        QVERIFY(!pessoas.isEmpty());
        QVERIFY(QJsonDocument::fromJson(pessoas).isObject());
        QVERIFY(!QJsonDocument::fromJson(pessoas).object().isEmpty());
        QCOMPARE(nuvem_->contagem("/api/admin/bootstrap-pessoa"), 1);
        const QByteArray tokens = ler(gerenciada("data/tokens.json"));
        const qint64 pidAntigo = p->pidAtual();
        QVERIFY(pidAntigo > 0);
        qInfo("primeira execução pronta em %lld ms", relogio.elapsed());

        // the cloud has nothing new: a poll neither downloads nor restarts
        {
            QSignalSpy fim(e.get(), &AppState::pollConcluido);
            e->atualizarStatus();
            QTRY_VERIFY_WITH_TIMEOUT(fim.count() >= 1, 10000);
        }
        QCOMPARE(nuvem_->contagem("/pacote-servidor-local.tar.gz"), 1);
        QCOMPARE(parados(), 0);
        QVERIFY(p->rodando());

        // a new build is announced; the next poll applies it
        relogio.restart();
        controlar("anunciar", {{"build", "42"}});
        QSignalSpy atualizando(e.get(), &AppState::atualizandoAgoraChanged);
        e->atualizarStatus();
        QTRY_VERIFY_WITH_TIMEOUT(erros.contains(QStringLiteral("Atualizado para 42")), 15000);
        QCOMPARE(ler(gerenciada("BUILD")).split('\n').value(0).trimmed(), QByteArray("42"));
        QCOMPARE(nuvem_->contagem("/pacote-servidor-local.tar.gz"), 2);

        // stopped, then started again on the new package
        QTRY_COMPARE_WITH_TIMEOUT(iniciados(), 2, 15000);
        QCOMPARE(parados(), 1);
        const QStringList log = p->log();
        QVERIFY(log.indexOf(QStringLiteral("— parado —")) < log.lastIndexOf(QStringLiteral("— iniciado —")));
        QVERIFY(p->rodando());
        QVERIFY(p->pidAtual() != pidAntigo);

        // the restarted child answers with the new build; the notice clears
        const auto buildAtual = [&e] { return e->status() ? e->status()->build : QString(); };
        QElapsedTimer espera;
        espera.start();
        do {
            QSignalSpy fim(e.get(), &AppState::pollConcluido);
            e->atualizarStatus();
            QTRY_VERIFY_WITH_TIMEOUT(fim.count() >= 1, 10000);
        } while (buildAtual() != QStringLiteral("42") && espera.elapsed() < 15000);
        QCOMPARE(buildAtual(), QStringLiteral("42"));
        QVERIFY2(!e->erro(), qPrintable(e->erro().value_or(QString())));
        // a changed build is shown as an update in progress for a while
        QVERIFY(atualizando.count() >= 1);
        qInfo("atualização aplicada e servidor de volta em %lld ms", relogio.elapsed());

        // the update never touches the server's data, nor seeds again
        QCOMPARE(ler(gerenciada("data/pessoas.json")), pessoas);
        QCOMPARE(ler(gerenciada("data/tokens.json")), tokens);
        QCOMPARE(nuvem_->contagem("/api/admin/bootstrap-pessoa"), 1);
        QVERIFY(e->escopo().has_value());

        // nothing newer: later polls (past the 30 s gate) leave it alone
        Relogio::avancar(31s);
        {
            QSignalSpy fim(e.get(), &AppState::pollConcluido);
            e->atualizarStatus();
            QTRY_VERIFY_WITH_TIMEOUT(fim.count() >= 1, 10000);
        }
        QCOMPARE(nuvem_->contagem("/pacote-servidor-local.tar.gz"), 2);
        QCOMPARE(iniciados(), 2);

        e->pararServidor();
        QTRY_VERIFY_WITH_TIMEOUT(!p->rodando(), 8000);
    }

    // A package cut in half on the first run: the notice says why, no child
    // runs, the data already there stays; a later attempt with a sound
    // package completes the install.
    void pacoteQuebradoNaPrimeiraExecucao()
    {
        QVERIFY(QDir().mkpath(gerenciada("data")));
        const QByteArray dados = "{\"guardada\":{\"nome\":\"Guarda\"}}";
        {
            QFile f(gerenciada("data/pessoas.json"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(dados), qint64(dados.size()));
        }
        controlar("pacote", {{"modo", "truncado"}});

        auto e = novoEstado();
        ParadaGarantida parada{e.get()};
        ServerProcess *p = e->processo();
        e->carregarEscopo(6);

        const QString prefixo = QStringLiteral("Primeira execução precisa de internet para baixar o Varkelo (");
        QTRY_VERIFY_WITH_TIMEOUT(e->erro() && e->erro()->startsWith(prefixo), 15000);
        const QString erro = *e->erro();
        QVERIFY2(erro.contains(QStringLiteral("tar falhou ao extrair o pacote (código ")), qPrintable(erro));
        QVERIFY2(erro.endsWith(QStringLiteral(") — provável download incompleto)")), qPrintable(erro));
        QCOMPARE(nuvem_->contagem("/pacote-servidor-local.tar.gz"), 1);

        // give a wrongly started child the time to show up
        QTest::qWait(500);
        QVERIFY(!p->rodando());
        QCOMPARE(contar(p->log(), QStringLiteral("— iniciado —")), 0);
        QVERIFY(!e->escopo());
        QVERIFY(!e->status());
        QCOMPARE(nuvem_->contagem("/api/admin/bootstrap-pessoa"), 0);
        QCOMPARE(ler(gerenciada("data/pessoas.json")), dados);
        QCOMPARE(QDir(gerenciada("data")).entryList(QDir::Files), QStringList{QStringLiteral("pessoas.json")});
        // no temporary download left next to the managed folder
        QCOMPARE(QDir(QFileInfo(gerenciada()).absolutePath()).entryList({QStringLiteral("pacote-*")}, QDir::Files),
                 QStringList());
        // a half extraction must not pass for an installed server
        QVERIFY(!QFileInfo::exists(gerenciada("server.js")));

        // the cloud sends the whole package again: the next attempt installs
        // it and starts the child, the data untouched
        controlar("pacote", {{"modo", "normal"}});
        e->carregarEscopo(6);
        QTRY_VERIFY_WITH_TIMEOUT(p->rodando(), 15000);
        QCOMPARE(nuvem_->contagem("/pacote-servidor-local.tar.gz"), 2);
        QVERIFY(QFileInfo::exists(gerenciada("server.js")));
        QCOMPARE(ler(gerenciada("data/pessoas.json")), dados);
        QCOMPARE(nuvem_->contagem("/api/admin/bootstrap-pessoa"), 0);   // the folder had its people

        e->pararServidor();
        QTRY_VERIFY_WITH_TIMEOUT(!p->rodando(), 8000);
    }
};

QV_TESTE_SEM_GUI(TestePontaAPonta)
#include "tst_atualizacao_ponta_a_ponta.moc"
