// The server package and editor updater against the cloud stand-in: real
// HTTP over loopback, real tar, real files in an isolated data folder.
#include "Ambiente.h"
#include "AtualizadorServidor.h"
#include "NuvemDeTeste.h"
#include "Plataforma.h"
#include "Relogio.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace std::chrono_literals;

namespace {

QString gerenciada(const QString &rel = {})
{
    return rel.isEmpty() ? Plataforma::pastaServidorGerenciada()
                         : QDir(Plataforma::pastaServidorGerenciada()).filePath(rel);
}

void escrever(const QString &caminho, const QByteArray &dados)
{
    QDir().mkpath(QFileInfo(caminho).absolutePath());
    QFile f(caminho);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(caminho));
    f.write(dados);
}

QByteArray ler(const QString &caminho)
{
    QFile f(caminho);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// First line of the extracted package's BUILD file: the build it announces.
QByteArray buildDoPacote() { return ler(gerenciada("BUILD")).split('\n').value(0).trimmed(); }

bool existe(const QString &rel) { return QFileInfo::exists(gerenciada(rel)); }

// Temporary downloads left next to the managed folder.
QStringList sobrasDeDownload()
{
    return QDir(QFileInfo(gerenciada()).absolutePath()).entryList({QStringLiteral("pacote-*")}, QDir::Files);
}

// Runs the event loop until the task ends and hands back its value.
template <class T>
T esperar(QCoro::Task<T> &&tarefa)
{
    std::optional<T> valor;
    QEventLoop laco;
    auto aguardar = [&]() -> QCoro::Task<> {
        valor.emplace(co_await std::move(tarefa));
        laco.quit();
    };
    auto t = aguardar();
    if (!valor)
        laco.exec();
    return std::move(*valor);
}

void esperar(QCoro::Task<> &&tarefa)
{
    bool fim = false;
    QEventLoop laco;
    auto aguardar = [&]() -> QCoro::Task<> {
        co_await std::move(tarefa);
        fim = true;
        laco.quit();
    };
    auto t = aguardar();
    if (!fim)
        laco.exec();
}

QString texto(const ResultadoVazio &r) { return r.ok() ? QStringLiteral("ok") : r.falha().descricao(); }

const QRegularExpression kFalhaTar(QStringLiteral(
    "^tar falhou ao extrair o pacote \\(código [1-9][0-9]*\\) — provável download incompleto$"));

} // namespace

class TesteAtualizadorServidor : public QObject {
    Q_OBJECT

    QTemporaryDir fonte_;   // what the cloud packs as the server package
    std::unique_ptr<NuvemDeTeste> nuvem_;

    int pedidos(const char *caminho) { return nuvem_->contagem(QString::fromLatin1(caminho)); }
    void controlar(const char *nome, const QJsonObject &corpo)
    {
        QVERIFY2(!nuvem_->controlar(QString::fromLatin1(nome), corpo).isEmpty(), nome);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fonte_.isValid());
        const QDir f(fonte_.path());
        escrever(f.filePath("server.js"), "console.log('servidor de teste')\n");
        escrever(f.filePath("package.json"), "{\"name\":\"servidor-de-teste\"}\n");
        escrever(f.filePath("js/app.js"), "// novo\n");
        escrever(f.filePath("css/app.css"), "/* novo */\n");
        escrever(f.filePath("BUILD"), "41\n");
        escrever(f.filePath("data/pessoas.json"), "{\"x\":{}}");   // the cloud never packs data/
        nuvem_ = std::make_unique<NuvemDeTeste>(fonte_.path());
        QVERIFY2(nuvem_->iniciar(), qPrintable(nuvem_->saida()));
        nuvem_->apontarAmbiente();
    }

    void init()
    {
        if (!nuvem_->rodando())
            QVERIFY2(nuvem_->iniciar(), qPrintable(nuvem_->saida()));
        nuvem_->apontarAmbiente();
        controlar("zerar", {});
        AtualizadorServidor::zerarEstado();
        Relogio::zerar();
        QDir(gerenciada()).removeRecursively();
        qunsetenv("QUILVO_RECURSOS");
    }

    void enderecoDaNuvem()
    {
        qunsetenv("QUILVO_NUVEM_URL");
        QCOMPARE(AtualizadorServidor::urlNuvem("/netinfo"), QUrl("https://nuvem.varkelo.app/netinfo"));
        qputenv("QUILVO_NUVEM_URL", "http://127.0.0.1:9/base/");
        QCOMPARE(AtualizadorServidor::urlNuvem("/netinfo"), QUrl("http://127.0.0.1:9/base/netinfo"));
        nuvem_->apontarAmbiente();
    }

    void pastaGerenciada_data()
    {
        QTest::addColumn<QString>("caminho");
        QTest::addColumn<bool>("esperado");
        const QString g = gerenciada();
        // HOME and the data folder are siblings in the test's isolated tree.
        const QString relHome = QDir(Plataforma::pastaHome()).relativeFilePath(g);
        QTest::newRow("exata") << g << true;
        QTest::newRow("til e barra final") << "~/" + relHome + "/" << true;
        QTest::newRow("componente ponto") << QFileInfo(g).absolutePath() + "/./servidor" << true;
        QTest::newRow("nome seguido de ponto-ponto") << g + "/../servidor" << true;
        QTest::newRow("separadores repetidos") << QFileInfo(g).absolutePath() + "//servidor//" << true;
        QTest::newRow("outra caixa") << QFileInfo(g).absolutePath() + "/Servidor" << false;
        QTest::newRow("outra pasta") << g + "2" << false;
        QTest::newRow("subpasta") << g + "/data" << false;
        QTest::newRow("vazia") << QString() << false;
    }
    void pastaGerenciada()
    {
        QFETCH(QString, caminho);
        QFETCH(bool, esperado);
        QCOMPARE(AtualizadorServidor::ehInstalacaoGerenciada(caminho), esperado);
    }

    void sementeCopiaEPreserva()
    {
        QTemporaryDir recursos;
        const QDir s(recursos.filePath("servidor"));
        escrever(s.filePath("server.js"), "semente\n");
        escrever(s.filePath("node_modules/dep/index.js"), "dep\n");
        escrever(s.filePath("js/app.js"), "semente\n");
        qputenv("QUILVO_RECURSOS", recursos.path().toUtf8());

        escrever(gerenciada("js/velho.js"), "velho\n");          // namesake folder: replaced whole
        escrever(gerenciada("data/quilvo.log"), "diário\n");     // not in the seed: left alone
        AtualizadorServidor::instalarSeNecessario();
        QCOMPARE(ler(gerenciada("server.js")), QByteArray("semente\n"));
        QCOMPARE(ler(gerenciada("node_modules/dep/index.js")), QByteArray("dep\n"));
        QVERIFY(existe("js/app.js"));
        QVERIFY(!existe("js/velho.js"));
        QCOMPARE(ler(gerenciada("data/quilvo.log")), QByteArray("diário\n"));
        QCOMPARE(QDir(gerenciada()).entryList({".*.semente"}, QDir::AllEntries | QDir::Hidden), QStringList());

        // With node_modules there, a newer seed copy is not applied.
        escrever(s.filePath("server.js"), "semente mais nova\n");
        AtualizadorServidor::instalarSeNecessario();
        QCOMPARE(ler(gerenciada("server.js")), QByteArray("semente\n"));
    }

    void sementeAusenteNaoFazNada()
    {
        QTemporaryDir recursos;   // no "servidor" inside
        qputenv("QUILVO_RECURSOS", recursos.path().toUtf8());
        AtualizadorServidor::instalarSeNecessario();
        QVERIFY(!existe("server.js"));
    }

    void primeiraExecucaoBaixaEExtrai()
    {
        escrever(gerenciada("js/antigo.js"), "antigo\n");
        escrever(gerenciada("css/antigo.css"), "antigo\n");
        escrever(gerenciada("data/quilvo.log"), "diário\n");
        const ResultadoVazio r = esperar(AtualizadorServidor::garantirSistemaBaixado());
        QVERIFY2(r.ok(), qPrintable(texto(r)));
        QVERIFY(existe("server.js"));
        QCOMPARE(buildDoPacote(), QByteArray("41"));
        QVERIFY(existe("js/app.js"));
        QVERIFY(!existe("js/antigo.js"));   // stale files of an older build do not survive
        QVERIFY(!existe("css/antigo.css"));
        QCOMPARE(ler(gerenciada("data/quilvo.log")), QByteArray("diário\n"));
        QVERIFY(!existe("data/pessoas.json"));
        QCOMPARE(sobrasDeDownload(), QStringList());

        // Already there: no second download.
        QVERIFY(esperar(AtualizadorServidor::garantirSistemaBaixado()).ok());
        QCOMPARE(pedidos("/pacote-servidor-local.tar.gz"), 1);
    }

    void pacoteQuebrado_data()
    {
        QTest::addColumn<QString>("modo");
        QTest::newRow("truncado") << "truncado";
        QTest::newRow("html no lugar do gzip") << "html";
        QTest::newRow("página de erro 404") << "404";
    }
    void pacoteQuebrado()
    {
        QFETCH(QString, modo);
        escrever(gerenciada("data/pessoas.json"), "{\"p\":1}");
        controlar("pacote", {{"modo", modo}});
        const ResultadoVazio r = esperar(AtualizadorServidor::baixarEAplicar());
        QVERIFY(!r.ok());
        QVERIFY2(kFalhaTar.match(texto(r)).hasMatch(), qPrintable(texto(r)));
        QCOMPARE(ler(gerenciada("data/pessoas.json")), QByteArray("{\"p\":1}"));
        QCOMPARE(sobrasDeDownload(), QStringList());
    }

    void nuvemForaDoAr()
    {
        nuvem_->parar();
        const ResultadoVazio r = esperar(AtualizadorServidor::garantirSistemaBaixado());
        QVERIFY(!r.ok());
        QCOMPARE(r.falha().descricao(), QStringLiteral("Falha ao baixar o pacote: conexão recusada"));
        QVERIFY(!existe("server.js"));
        QCOMPARE(sobrasDeDownload(), QStringList());
        QVERIFY(!esperar(AtualizadorServidor::buscarNetinfoVPS()).ok());
    }

    void netinfoDecodifica()
    {
        using A = AtualizadorServidor;
        QCOMPARE(A::decodificarNetinfoVPS(R"({"build":"41","buildReal":"41-abc","x":1})").valor(),
                 (NetinfoVPS{"41", QString("41-abc")}));
        QCOMPARE(A::decodificarNetinfoVPS(R"({"build":"41","buildReal":null})").valor(), (NetinfoVPS{"41", {}}));
        QVERIFY(!A::decodificarNetinfoVPS(R"({"buildReal":"41"})").ok());
        QVERIFY(!A::decodificarNetinfoVPS("<html>erro</html>").ok());
        QCOMPARE(A::decodificarNetinfoEditor(R"({"build":"1","editor":"7"})").valor().editor, QString("7"));
        QCOMPARE(A::decodificarNetinfoEditor(R"({"build":"1"})").valor().editor, std::nullopt);
    }

    void semBuildLocalNaoPergunta()
    {
        QCOMPARE(esperar(AtualizadorServidor::verificarEAplicarAtualizacao(std::nullopt, std::nullopt)),
                 std::nullopt);
        QCOMPARE(pedidos("/netinfo"), 0);
    }

    void buildsIguaisNaoBaixam()
    {
        controlar("anunciar", {{"build", "41"}, {"buildReal", "41-abc"}});
        QCOMPARE(esperar(AtualizadorServidor::verificarEAplicarAtualizacao(QString("40"), QString("41-abc"))),
                 std::nullopt);
        QCOMPARE(AtualizadorServidor::estado().ultimaTentativaEm, std::nullopt);
        // No gate while builds agree: every poll asks again.
        QCOMPARE(esperar(AtualizadorServidor::verificarEAplicarAtualizacao(QString("40"), QString("41-abc"))),
                 std::nullopt);
        QCOMPARE(pedidos("/netinfo"), 2);
        QCOMPARE(pedidos("/pacote-servidor-local.tar.gz"), 0);
    }

    void buildEfetivoDiferenteBaixa_data()
    {
        QTest::addColumn<QString>("buildNuvem");
        QTest::addColumn<QString>("buildRealNuvem");   // empty: none
        QTest::addColumn<QString>("buildLocal");
        QTest::addColumn<QString>("buildRealLocal");   // empty: none
        QTest::addColumn<QString>("mensagem");
        QTest::newRow("41-abc local, 41 na nuvem") << "41" << "" << "41" << "41-abc" << "Atualizado para 41";
        QTest::newRow("mostra o build, não o buildReal") << "42" << "42-def" << "41" << "" << "Atualizado para 42";
    }
    void buildEfetivoDiferenteBaixa()
    {
        QFETCH(QString, buildNuvem);
        QFETCH(QString, buildRealNuvem);
        QFETCH(QString, buildLocal);
        QFETCH(QString, buildRealLocal);
        QFETCH(QString, mensagem);
        controlar("anunciar", {{"build", buildNuvem}, {"buildReal", buildRealNuvem}});
        const auto r = esperar(AtualizadorServidor::verificarEAplicarAtualizacao(
            buildLocal, buildRealLocal.isEmpty() ? std::nullopt : std::optional<QString>(buildRealLocal)));
        QCOMPARE(r, std::optional<QString>(mensagem));
        QCOMPARE(buildDoPacote(), buildNuvem.toUtf8());
        QVERIFY(AtualizadorServidor::estado().ultimaTentativaEm.has_value());
    }

    void depoisDeFalharEspera30s()
    {
        controlar("anunciar", {{"build", "42"}});
        controlar("pacote", {{"modo", "html"}});
        auto verificar = [] {
            return esperar(AtualizadorServidor::verificarEAplicarAtualizacao(QString("41"), std::nullopt));
        };
        QCOMPARE(verificar(), std::nullopt);
        QCOMPARE(pedidos("/pacote-servidor-local.tar.gz"), 1);

        controlar("pacote", {{"modo", "normal"}});
        Relogio::avancar(29s);
        QCOMPARE(verificar(), std::nullopt);
        QCOMPARE(pedidos("/netinfo"), 1);   // gated: not even the netinfo request
        QCOMPARE(pedidos("/pacote-servidor-local.tar.gz"), 1);

        Relogio::avancar(2s);
        QCOMPARE(verificar(), std::optional<QString>("Atualizado para 42"));
        QCOMPARE(pedidos("/pacote-servidor-local.tar.gz"), 2);
    }

    void pollsSobrepostosBaixamUmaVez()
    {
        controlar("anunciar", {{"build", "42"}});
        controlar("lento", {{"ms", 200}});
        auto a = AtualizadorServidor::verificarEAplicarAtualizacao(QString("41"), std::nullopt);
        auto b = AtualizadorServidor::verificarEAplicarAtualizacao(QString("41"), std::nullopt);
        const auto ra = esperar(std::move(a));
        const auto rb = esperar(std::move(b));
        QCOMPARE(int(ra.has_value()) + int(rb.has_value()), 1);
        QCOMPARE(pedidos("/pacote-servidor-local.tar.gz"), 1);
    }

    void resgateUmaVezPorBuild()
    {
        controlar("anunciar", {{"build", "43"}});
        controlar("pacote", {{"modo", "truncado"}});
        QCOMPARE(esperar(AtualizadorServidor::resgatarSeHouverVersaoNova()), false);
        QCOMPARE(AtualizadorServidor::estado().resgatadoCom, std::nullopt);   // a failed rescue forgets the build

        controlar("pacote", {{"modo", "normal"}});
        QCOMPARE(esperar(AtualizadorServidor::resgatarSeHouverVersaoNova()), true);   // same build again
        QCOMPARE(buildDoPacote(), QByteArray("43"));
        QCOMPARE(esperar(AtualizadorServidor::resgatarSeHouverVersaoNova()), false);
        QCOMPARE(pedidos("/pacote-servidor-local.tar.gz"), 2);

        controlar("anunciar", {{"build", "43"}, {"buildReal", "43-b"}});   // another effective build
        QCOMPARE(esperar(AtualizadorServidor::resgatarSeHouverVersaoNova()), true);
        QCOMPARE(pedidos("/pacote-servidor-local.tar.gz"), 3);

        controlar("sumir", {{"modo", "fechado"}});
        QCOMPARE(esperar(AtualizadorServidor::resgatarSeHouverVersaoNova()), false);
    }

    void duasAplicacoesNaoSeSobrepoem()
    {
        // Each answer waits 300 ms in the cloud; one after the other takes
        // at least twice that.
        controlar("lento", {{"ms", 300}});
        QElapsedTimer t;
        t.start();
        auto a = AtualizadorServidor::baixarEAplicar();
        auto b = AtualizadorServidor::baixarEAplicar();
        QVERIFY(esperar(std::move(a)).ok());
        QVERIFY(esperar(std::move(b)).ok());
        QVERIFY2(t.elapsed() >= 600, "the two applications overlapped");
        QCOMPARE(pedidos("/pacote-servidor-local.tar.gz"), 2);
        QVERIFY(existe("server.js"));
    }

    void semeia_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QJsonValue>("tokenDados");   // Undefined: key absent
        QTest::addColumn<bool>("comTokens");
        QTest::newRow("com tokenDados") << "token-demo-gestao" << QJsonValue(QJsonObject{{"escopo", "tudo"}}) << true;
        QTest::newRow("tokenDados null") << "token-demo-gestao" << QJsonValue(QJsonValue::Null) << false;
        QTest::newRow("sem tokenDados") << "token-demo-gestao" << QJsonValue(QJsonValue::Undefined) << false;
        QTest::newRow("token com + & /") << "a+b&c/d=" << QJsonValue(QJsonObject{{"x", 1}}) << true;
    }
    void semeia()
    {
        QFETCH(QString, token);
        QFETCH(QJsonValue, tokenDados);
        QFETCH(bool, comTokens);
        QJsonObject b{{"token", token}, {"chave", "p1"}, {"pessoa", QJsonObject{{"nome", "Ana"}}}};
        b.insert("tokenDados", tokenDados.isUndefined() ? QJsonValue("ausente") : tokenDados);
        controlar("bootstrap", b);

        esperar(AtualizadorServidor::semearPessoaSeNecessario(token));
        QCOMPARE(ler(gerenciada("data/pessoas.json")), QByteArray(R"({"p1":{"nome":"Ana"}})"));
        QCOMPARE(existe("data/tokens.json"), comTokens);
        if (comTokens)
            QCOMPARE(QJsonDocument::fromJson(ler(gerenciada("data/tokens.json"))).object(),
                     (QJsonObject{{token, tokenDados}}));

        // Seeded once: the next start does not ask again.
        esperar(AtualizadorServidor::semearPessoaSeNecessario(token));
        QCOMPARE(pedidos("/api/admin/bootstrap-pessoa"), 1);
    }

    void semeiaNada_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QJsonObject>("resposta");   // changes to the cloud's answer
        QTest::addColumn<int>("pedidosEsperados");
        QTest::newRow("token vazio") << QString() << QJsonObject() << 0;
        QTest::newRow("token recusado") << "outro" << QJsonObject() << 1;
        QTest::newRow("chave não é texto") << "token-demo-gestao" << QJsonObject{{"chave", 5}} << 1;
        QTest::newRow("sem pessoa") << "token-demo-gestao" << QJsonObject{{"pessoa", "ausente"}} << 1;
    }
    void semeiaNada()
    {
        QFETCH(QString, token);
        QFETCH(QJsonObject, resposta);
        QFETCH(int, pedidosEsperados);
        if (!resposta.isEmpty())
            controlar("bootstrap", resposta);
        esperar(AtualizadorServidor::semearPessoaSeNecessario(token));
        QCOMPARE(pedidos("/api/admin/bootstrap-pessoa"), pedidosEsperados);
        QVERIFY(!existe("data/pessoas.json"));
        QVERIFY(!existe("data/tokens.json"));
    }

    void editorSincroniza()
    {
        controlar("anunciar", {{"editor", "7"}});
        QVERIFY2(esperar(AtualizadorServidor::sincronizarEditor()).ok(), "primeira sincronização");
        QVERIFY(QFileInfo(gerenciada("mirelune/index.html")).isFile());
        QCOMPARE(AtualizadorServidor::versaoLocalDoEditor(), std::optional<QString>("7"));
        QVERIFY(!existe("mirelune.novo"));
        QVERIFY(!existe("mirelune.velho"));
        QCOMPARE(sobrasDeDownload(), QStringList());

        // Same version: no download.
        QVERIFY(esperar(AtualizadorServidor::sincronizarEditor()).ok());
        QCOMPARE(pedidos("/pacote-editor.tar.gz"), 1);

        // A missing .versao downloads again even though the folder is complete.
        QFile::remove(gerenciada("mirelune/.versao"));
        QVERIFY(esperar(AtualizadorServidor::sincronizarEditor()).ok());
        QCOMPARE(pedidos("/pacote-editor.tar.gz"), 2);
        QCOMPARE(AtualizadorServidor::versaoLocalDoEditor(), std::optional<QString>("7"));

        // No editor announced: nothing to do.
        controlar("anunciar", {{"editor", QJsonValue::Null}});
        QVERIFY(esperar(AtualizadorServidor::sincronizarEditor()).ok());
        QCOMPARE(pedidos("/pacote-editor.tar.gz"), 2);
    }

    void editorRuimNaoMexeNoAtual_data()
    {
        QTest::addColumn<QString>("modo");
        QTest::newRow("sem index.html") << "semIndex";
        QTest::newRow("truncado") << "truncado";
        QTest::newRow("html no lugar do gzip") << "html";
        QTest::newRow("404") << "404";
    }
    void editorRuimNaoMexeNoAtual()
    {
        QFETCH(QString, modo);
        escrever(gerenciada("mirelune/index.html"), "atual\n");
        escrever(gerenciada("mirelune/.versao"), "6\n");
        controlar("anunciar", {{"editor", "7"}});
        controlar("editor", {{"modo", modo}});
        QVERIFY(esperar(AtualizadorServidor::sincronizarEditor()).ok());
        QCOMPARE(ler(gerenciada("mirelune/index.html")), QByteArray("atual\n"));
        QCOMPARE(AtualizadorServidor::versaoLocalDoEditor(), std::optional<QString>("6"));
        QVERIFY(!existe("mirelune.novo"));
        QCOMPARE(sobrasDeDownload(), QStringList());
    }

    void editorEmSegundoPlano()
    {
        escrever(gerenciada("mirelune/.versao"), "7\n");   // up to date: each sync is one netinfo request
        controlar("anunciar", {{"editor", "7"}});
        controlar("lento", {{"ms", 200}});
        AtualizadorServidor::sincronizarEditorEmSegundoPlano();
        QVERIFY(AtualizadorServidor::estado().baixandoEditor);
        Relogio::avancar(601s);
        AtualizadorServidor::sincronizarEditorEmSegundoPlano();   // still running: not a second one
        QTRY_VERIFY(!AtualizadorServidor::estado().baixandoEditor);
        QCOMPARE(pedidos("/netinfo"), 1);

        Relogio::zerar();
        Relogio::avancar(599s);
        AtualizadorServidor::sincronizarEditorEmSegundoPlano();   // less than 600 s since the start
        QVERIFY(!AtualizadorServidor::estado().baixandoEditor);
        Relogio::avancar(2s);
        AtualizadorServidor::sincronizarEditorEmSegundoPlano();
        QVERIFY(AtualizadorServidor::estado().baixandoEditor);
        QTRY_VERIFY(!AtualizadorServidor::estado().baixandoEditor);
        QCOMPARE(pedidos("/netinfo"), 2);
    }
};

QV_TESTE_SEM_GUI(TesteAtualizadorServidor)
#include "tst_atualizador_servidor.moc"
