#include "Ambiente.h"
#include "Processos.h"
#include "ServerProcess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace {

const QString iniciado = QStringLiteral("— iniciado —");
const QString parado = QStringLiteral("— parado —");
const QString forcado = QStringLiteral("— não morreu com o pedido educado; encerrando à força —");

QString node() { return QStandardPaths::findExecutable(QStringLiteral("node")); }

QString fixture() { return Ambiente::fonte(QStringLiteral("tests/fixtures/processo/servidor-teste.js")); }

bool portaLivre(quint16 porta)
{
    QTcpServer s;
    return s.listen(QHostAddress::LocalHost, porta);
}

} // namespace

class TesteServerProcess : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp;
    QList<QProcess *> estranhos; // listeners started by the test itself

    // A server folder holding the stand-in under `nome`.
    QString pastaComServidor(const QString &nome = QStringLiteral("server.js"))
    {
        const QString pasta = tmp->filePath(QStringLiteral("srv-") + nome);
        QDir().mkpath(pasta);
        QFile::copy(fixture(), pasta + QLatin1Char('/') + nome);
        return pasta;
    }

    // A resources folder whose runtime/node runs node directly, or through
    // a shell that stays as the parent (the server is then a grandchild).
    void recursosComRuntime(bool porShell)
    {
        const QString runtime = tmp->filePath(QStringLiteral("recursos/runtime"));
        QDir().mkpath(runtime);
        const QString arquivo = runtime + QStringLiteral("/node");
        if (porShell) {
            QFile f(arquivo);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("#!/bin/sh\n'%1' \"$@\"\necho fim do envoltorio\n").arg(node()).toUtf8());
            f.close();
            f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        } else {
            QVERIFY(QFile::link(node(), arquivo));
        }
        qputenv("QUILVO_RECURSOS", tmp->filePath(QStringLiteral("recursos")).toUtf8());
    }

    QProcess *ouvinteEstranho(const QString &pasta, const QString &nome, quint16 porta, bool ignoraTerm)
    {
        auto *p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QV_PORTA"), QString::number(porta));
        if (ignoraTerm)
            env.insert(QStringLiteral("QV_IGNORA_TERM"), QStringLiteral("1"));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(pasta);
        p->start(node(), {pasta + QLatin1Char('/') + nome});
        estranhos.append(p);
        p->waitForReadyRead(5000);
        return p;
    }

private slots:
    void initTestCase()
    {
        if (node().isEmpty())
            QSKIP("node is not on the PATH");
    }

    void init()
    {
        tmp = std::make_unique<QTemporaryDir>(Ambiente::raiz() + QStringLiteral("/sp-XXXXXX"));
        for (const char *v : {"QV_PORTA", "QV_IGNORA_TERM", "QV_SAIR", "QV_PEDACOS"})
            qunsetenv(v);
        // An empty resources folder: no shipped runtime unless a test adds one.
        QDir().mkpath(tmp->filePath(QStringLiteral("vazio")));
        qputenv("QUILVO_RECURSOS", tmp->filePath(QStringLiteral("vazio")).toUtf8());
    }

    void cleanup()
    {
        for (QProcess *p : estranhos) {
            p->kill();
            p->waitForFinished(2000);
            delete p;
        }
        estranhos.clear();
    }

    void adicionarLog_data()
    {
        QTest::addColumn<QStringList>("entradas");
        QTest::addColumn<QStringList>("esperado");
        QTest::addColumn<int>("avisos");

        QStringList muitas, ultimas, primeiras150, seguintes100;
        for (int i = 0; i < 250; ++i)
            muitas << QStringLiteral("linha %1").arg(i);
        ultimas = muitas.mid(50);
        primeiras150 = muitas.mid(0, 150);
        seguintes100 = muitas.mid(150);

        QTest::newRow("blank lines and trailing LF") << QStringList{"a\n\nb\n"} << QStringList{"a", "b"} << 1;
        QTest::newRow("nothing to add") << QStringList{"", "\n\n"} << QStringList{} << 0;
        QTest::newRow("250 at once keep the newest 200") << QStringList{muitas.join('\n')} << ultimas << 1;
        QTest::newRow("150 then 100") << QStringList{primeiras150.join('\n'), seguintes100.join('\n') + '\n'}
                                      << ultimas << 2;
    }

    void adicionarLog()
    {
        QFETCH(QStringList, entradas);
        QFETCH(QStringList, esperado);
        QFETCH(int, avisos);
        ServerProcess sp;
        QSignalSpy spy(&sp, &ServerProcess::logChanged);
        for (const QString &e : entradas)
            sp.adicionarLog(e);
        QCOMPARE(sp.log(), esperado);
        QCOMPARE(spy.count(), avisos);
    }

    void primeiroPid_data()
    {
        QTest::addColumn<QString>("saida");
        QTest::addColumn<int>("esperado"); // 0 = none

        QTest::newRow("two pids") << "812\n913\n" << 812;
        QTest::newRow("spaces around") << "  812 \n913" << 812;
        QTest::newRow("invalid first skipped") << "abc\n12a\n913\n" << 913;
        QTest::newRow("plus sign") << "+7\n" << 7;
        QTest::newRow("minus sign") << "-3\n" << -3;
        QTest::newRow("overflow skipped") << "2147483648\n5\n" << 5;
        QTest::newRow("lone sign skipped") << "+\n4\n" << 4;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("only line feeds") << "\n\n" << 0;
        QTest::newRow("nothing valid") << "x\n9999999999\n" << 0;
    }

    void primeiroPid()
    {
        QFETCH(QString, saida);
        QFETCH(int, esperado);
        const auto pid = ServerProcess::primeiroPid(saida);
        QCOMPARE(pid.value_or(0), esperado);
    }

    void escolheRuntimeOuShell()
    {
        const QString base = tmp->filePath(QStringLiteral("escolha"));
        const QString runtime = base + QStringLiteral("/runtime");
        const Processos::Comando shell = Processos::comandoNpmStart();
        QCOMPARE(shell.argumentos.mid(shell.argumentos.size() - 2), (QStringList{"-c", "npm start"}));
        QCOMPARE(shell.argumentos.first(), QStringLiteral("-l"));

        auto ehShell = [&](const ServerProcess::Programa &p) {
            return !p.runtimeEmbutido && p.executavel == shell.programa && p.argumentos == shell.argumentos;
        };
        QVERIFY(ehShell(ServerProcess::programaParaIniciar(base))); // folder missing
        QDir().mkpath(runtime);
        QVERIFY(ehShell(ServerProcess::programaParaIniciar(base))); // no node
        QFile f(runtime + QStringLiteral("/node"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.close();
        QVERIFY(ehShell(ServerProcess::programaParaIniciar(base))); // not executable

        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        const QByteArray pathAntes = qgetenv("PATH");
        ServerProcess::Programa p = ServerProcess::programaParaIniciar(base);
        QVERIFY(p.runtimeEmbutido);
        QCOMPARE(p.executavel, runtime + QStringLiteral("/node"));
        QCOMPARE(p.argumentos, QStringList{"server.js"});
        QCOMPARE(p.ambiente.value("PATH"), runtime + ':' + QString::fromLocal8Bit(pathAntes));

        qputenv("PATH", "");
        p = ServerProcess::programaParaIniciar(base);
        qputenv("PATH", pathAntes);
        QCOMPARE(p.ambiente.value("PATH"), runtime);
    }

    void iniciarComRuntimeSobeUmFilhoSo()
    {
        recursosComRuntime(false);
        pastaComServidor();
        const QString pasta = QStringLiteral("~/servidor");
        QDir().rename(tmp->filePath(QStringLiteral("srv-server.js")), QDir::homePath() + QStringLiteral("/servidor"));

        ServerProcess sp;
        QSignalSpy rodandoSpy(&sp, &ServerProcess::rodandoChanged);
        sp.iniciar(pasta);
        QVERIFY(sp.rodando());
        const qint64 pid = sp.pidAtual();
        QVERIFY(pid > 0);
        sp.iniciar(pasta);
        QCOMPARE(sp.pidAtual(), pid);
        QCOMPARE(sp.log().count(iniciado), 1);
        QCOMPARE(rodandoSpy.count(), 1);
        QTRY_VERIFY(sp.log().contains(QStringLiteral("pronto")));

        const auto comando = ServerProcess::comandoDe(qint32(pid));
        QVERIFY(comando);
        QVERIFY2(comando->endsWith(QStringLiteral("runtime/node server.js\n")), qPrintable(*comando));
        QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).canonicalFilePath(),
                 QDir::homePath() + QStringLiteral("/servidor"));

        sp.parar();
        QTRY_VERIFY(!sp.rodando());
        QCOMPARE(sp.log().mid(sp.log().indexOf(parado)),
                 (QStringList{parado, QStringLiteral("— processo terminou (código 15) —")}));
    }

    void falhaAoIniciar()
    {
        ServerProcess sp;
        sp.iniciar(tmp->filePath(QStringLiteral("nao-existe")));
        QVERIFY(!sp.rodando());
        QCOMPARE(sp.pidAtual(), 0);
        QCOMPARE(sp.log().size(), 1);
        QVERIFY2(sp.log().first().startsWith(QStringLiteral("Falha ao iniciar: ")), qPrintable(sp.log().first()));
    }

    void pedacosDaSaida()
    {
        recursosComRuntime(false);
        qputenv("QV_PEDACOS", "1");
        ServerProcess sp;
        sp.iniciar(pastaComServidor());
        QTRY_VERIFY_WITH_TIMEOUT(sp.log().contains(QStringLiteral("fim")), 5000);
        // A line cut by the chunk boundary is two entries; a character cut
        // by it is kept whole; the invalid byte alone is dropped.
        QCOMPARE(sp.log(), (QStringList{iniciado, "a", "b", "linha sem fim", " continua", "a", "ção", "xy", "fim"}));
    }

    void morteSemAvisoSobeDeNovo()
    {
        recursosComRuntime(false);
        const QString pasta = pastaComServidor();
        qputenv("QV_SAIR", "3");
        ServerProcess sp;
        sp.iniciar(pasta);
        const qint64 primeiro = sp.pidAtual();
        QVERIFY(primeiro > 0);
        // The child exits while no event is processed: nobody reports it.
        QElapsedTimer t;
        t.start();
        while (Processos::estaVivo(primeiro) && t.elapsed() < 5000)
            QThread::msleep(20);
        QVERIFY(!Processos::estaVivo(primeiro));
        QVERIFY(sp.rodando());

        qunsetenv("QV_SAIR");
        sp.iniciar(pasta);
        QVERIFY(sp.rodando());
        QVERIFY(sp.pidAtual() != primeiro);
        QCOMPARE(sp.log().count(iniciado), 2);
        QVERIFY(sp.log().contains(QStringLiteral("— o processo já tinha morrido sem avisar; subindo de novo —")));

        // The late exit of the first child is logged and changes nothing.
        const QString saida = QStringLiteral("— processo terminou (código 3) —");
        QTRY_VERIFY(sp.log().contains(saida));
        QTRY_VERIFY(sp.log().contains(QStringLiteral("pronto")));
        QVERIFY(sp.rodando());
        QVERIFY(Processos::estaVivo(sp.pidAtual()));
    }

    void pararForcaQuemIgnoraTerm()
    {
        recursosComRuntime(false);
        qputenv("QV_IGNORA_TERM", "1");
        ServerProcess sp;
        sp.iniciar(pastaComServidor());
        QTRY_VERIFY(sp.log().contains(QStringLiteral("pronto")));

        QElapsedTimer t;
        t.start();
        sp.parar();
        QCOMPARE(sp.log().last(), parado);
        QVERIFY(sp.rodando());
        QTRY_VERIFY_WITH_TIMEOUT(sp.log().contains(forcado), 6000);
        QVERIFY2(t.elapsed() >= 2900, qPrintable(QString::number(t.elapsed())));
        QTRY_VERIFY(!sp.rodando());
        QCOMPARE(sp.log().last(), QStringLiteral("— processo terminou (código 9) —"));
    }

    void pararDerrubaONeto()
    {
        recursosComRuntime(true);
        const quint16 porta = Ambiente::portaLivre();
        qputenv("QV_PORTA", QByteArray::number(porta));
        ServerProcess sp;
        sp.iniciar(pastaComServidor());
        QTRY_VERIFY(sp.log().contains(QStringLiteral("escutando %1").arg(porta)));
        const auto ouvinte = ServerProcess::pidEscutando(porta);
        QVERIFY(ouvinte);
        QVERIFY(*ouvinte != sp.pidAtual()); // node runs under the shell

        sp.parar();
        QTRY_VERIFY(!sp.rodando());
        QTRY_VERIFY(!Processos::estaVivo(*ouvinte));
        // Nothing of ours keeps the port. (Another test running in parallel
        // may have taken the freed port, so ask who listens, not whether
        // the port can be bound.)
        QTRY_VERIFY(ServerProcess::pidEscutando(porta) != ouvinte);
        QVERIFY(!sp.log().contains(forcado));
    }

    void npmStartPeloShellDeLogin()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("npm")).isEmpty())
            QSKIP("npm is not on the PATH");
        const QString pasta = pastaComServidor();
        QFile pacote(pasta + QStringLiteral("/package.json"));
        QVERIFY(pacote.open(QIODevice::WriteOnly));
        pacote.write(R"({"name":"servidor-teste","private":true,"scripts":{"start":"node server.js"}})");
        pacote.close();
        const quint16 porta = Ambiente::portaLivre();
        qputenv("QV_PORTA", QByteArray::number(porta));

        ServerProcess sp;
        sp.iniciar(pasta);
        QVERIFY(sp.rodando());
        QVERIFY(ServerProcess::comandoDe(qint32(sp.pidAtual()))->contains(QStringLiteral("npm start")));
        QTRY_VERIFY_WITH_TIMEOUT(sp.log().contains(QStringLiteral("escutando %1").arg(porta)), 20000);
        const auto ouvinte = ServerProcess::pidEscutando(porta);
        QVERIFY(ouvinte);

        sp.parar();
        QTRY_VERIFY_WITH_TIMEOUT(!sp.rodando(), 6000);
        QTRY_VERIFY_WITH_TIMEOUT(!Processos::estaVivo(*ouvinte), 6000);
        QTRY_VERIFY(ServerProcess::pidEscutando(porta) != ouvinte);
    }

    void pararPelaPortaPoupaOutros_data()
    {
        QTest::addColumn<bool>("comOuvinte");
        QTest::newRow("nothing listens") << false;
        QTest::newRow("listener without server.js") << true;
    }

    void pararPelaPortaPoupaOutros()
    {
        QFETCH(bool, comOuvinte);
        const quint16 porta = Ambiente::portaLivre();
        QProcess *outro = nullptr;
        if (comOuvinte) {
            outro = ouvinteEstranho(pastaComServidor(QStringLiteral("outro.js")), QStringLiteral("outro.js"), porta, false);
            QVERIFY(ServerProcess::pidEscutando(porta) == outro->processId());
        }
        ServerProcess sp;
        sp.pararPelaPorta(porta);
        QCOMPARE(sp.log(), QStringList{QStringLiteral("— nada nosso escutando a porta %1 —").arg(porta)});
        if (outro) {
            QTest::qWait(400);
            QCOMPARE(outro->state(), QProcess::Running);
            QVERIFY(!portaLivre(porta));
        }
    }

    void pararPelaPortaAdotado()
    {
        const quint16 porta = Ambiente::portaLivre();
        const QString pasta = pastaComServidor();
        QProcess *adotado = ouvinteEstranho(pasta, QStringLiteral("server.js"), porta, true);
        const qint32 pid = qint32(adotado->processId());

        // The tools and their /proc fallbacks agree.
        QCOMPARE(ServerProcess::pidEscutando(porta), pid);
        QCOMPARE(Processos::pidEscutandoPeloProc(porta), pid);
        const QString esperado = node() + ' ' + pasta + QStringLiteral("/server.js\n");
        QCOMPARE(ServerProcess::comandoDe(pid), esperado);
        QCOMPARE(Processos::comandoPeloProc(pid), esperado);

        ServerProcess sp;
        QElapsedTimer t;
        t.start();
        sp.pararPelaPorta(porta);
        QCOMPARE(sp.log(), QStringList{QStringLiteral("— servidor adotado (pid %1) parado —").arg(pid)});
        QTRY_VERIFY_WITH_TIMEOUT(adotado->state() == QProcess::NotRunning, 6000);
        QVERIFY(t.elapsed() >= 2900);
        QCOMPARE(sp.log().last(), forcado);
        QTRY_VERIFY(ServerProcess::pidEscutando(porta) != std::optional<qint32>(pid));
    }

    void rodarSincrono_data()
    {
        QTest::addColumn<QString>("programa");
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<bool>("temTexto");
        QTest::addColumn<QString>("texto");

        QTest::newRow("output") << "/bin/sh" << QStringList{"-c", "echo ação; echo erro >&2"} << true << "ação\n";
        QTest::newRow("missing tool") << "/nao/existe" << QStringList{} << false << "";
        QTest::newRow("not UTF-8") << "/bin/sh" << QStringList{"-c", "printf 'a\\377'"} << false << "";
        QTest::newRow("overruns and is killed") << "/bin/sleep" << QStringList{"30"} << false << "";
    }

    void rodarSincrono()
    {
        QFETCH(QString, programa);
        QFETCH(QStringList, argumentos);
        QFETCH(bool, temTexto);
        QFETCH(QString, texto);
        QElapsedTimer t;
        t.start();
        const auto r = ServerProcess::rodarSincrono(programa, argumentos);
        QCOMPARE(r.has_value(), temTexto);
        if (temTexto)
            QCOMPARE(*r, texto);
        QVERIFY(t.elapsed() < 10000);
    }
};

QV_TESTE_SEM_GUI(TesteServerProcess)
#include "tst_server_process.moc"
