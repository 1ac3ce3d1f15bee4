// The page host with the real engine: the message-handler contract, the token
// script, navigation rules, the file bridge, downloads, popups and the
// accessibility script.
#include "Acessibilidade.h"
#include "Ambiente.h"
#include "EstadoVarkelo.h"
#include "PaginaVarkelo.h"
#include "Plataforma.h"
#include "ServidorDeTeste.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QMimeData>
#include <QStandardPaths>
#include <QWebEngineView>

namespace {

// The engine wants shared GL contexts before the application exists.
const bool contextosCompartilhados = (QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts), true);
constexpr int espera = 30000;

// Records what would have gone to the default browser.
class Navegador : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> abertos;
public Q_SLOTS:
    void abrir(const QUrl &u) { abertos << u; }
};

QVariant js(QWebEnginePage *p, const QString &codigo)
{
    QVariant r;
    bool pronto = false;
    p->runJavaScript(codigo, [&](const QVariant &v) {
        r = v;
        pronto = true;
    });
    if (!QTest::qWaitFor([&] { return pronto; }, espera))
        qWarning("script sem resposta: %s", qPrintable(codigo));
    return r;
}

QByteArray pagina(const QByteArray &corpo)
{
    return "<!doctype html><html><head><meta charset=utf-8></head><body>" + corpo + "</body></html>";
}

void escreverToken(const QByteArray &conteudo)
{
    QDir().mkpath(QFileInfo(Plataforma::arquivoToken()).absolutePath());
    QFile f(Plataforma::arquivoToken());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(conteudo);
}

} // namespace

class TestePaginaVarkelo : public QObject
{
    Q_OBJECT

    ServidorDeTeste casa, fora;
    Navegador navegador;
    std::unique_ptr<EstadoVarkelo> estado;
    std::unique_ptr<QWidget> janela;
    PaginaVarkelo *host = nullptr;

    // Opens `caminho` of the home server in a fresh page host.
    bool abrir(const QByteArray &caminho, const QString &origem = {})
    {
        host = nullptr;
        janela.reset();
        estado = std::make_unique<EstadoVarkelo>(EstadoVarkelo::Enderecos{}, std::nullopt);
        janela = std::make_unique<QWidget>();
        janela->resize(800, 600);
        const QUrl url(origem.isEmpty() ? casa.base() + QString::fromLatin1(caminho.mid(1)) : origem);
        host = new PaginaVarkelo(estado.get(), url, janela.get());
        host->resize(800, 600);
        janela->show();
        return QTest::qWaitFor([&] { return !estado->carregando(); }, espera);
    }
    QWebEnginePage *page() { return host->web()->page(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(casa.ouvir());
        QVERIFY(fora.ouvir());
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &navegador, "abrir");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &navegador, "abrir");
        fora.definir("/", 200, pagina("fora"), "text/html");
    }

    void cleanup()
    {
        if (QByteArray(QTest::currentTestFunction()) == "pontesDeArquivo" && !QTest::currentTestFailed())
            return;
        host = nullptr;
        janela.reset();
        estado.reset();
        navegador.abertos.clear();
        QFile::remove(Plataforma::arquivoToken());
    }

    void mensagensChegamEmOrdem()
    {
        // Posted while the document is still being parsed, before the
        // channel can be up: they must queue and keep their order.
        casa.definir("/ordem", 200, pagina(R"(<script>
            var h = window.webkit && window.webkit.messageHandlers;
            h.varkelo.postMessage('tem ponte: ' + (typeof h.varkelo.postMessage));
            h.varkelo.postMessage({ tema: 'theme-ocean', rec: true });
            h.varkeloDiario.postMessage('linha do diario');
            console.error('falhou', { codigo: 7 }, 'x'.repeat(2000));
            h.varkeloArquivo.postMessage('texto no canal de arquivos');
            h.varkelo.postMessage(42);
            Promise.reject(new Error('sem tratamento'));
            setTimeout(function () { h.varkelo.postMessage({ cronometro: true }); h.varkelo.postMessage('fim'); }, 0);
          </script>)"),
                     "text/html");
        QVERIFY(abrir("/ordem"));
        QTRY_VERIFY_WITH_TIMEOUT(estado->diario().contains(QStringLiteral("fim")), espera);
        const QStringList d = estado->diario();
        QCOMPARE(d.value(0), QStringLiteral("tem ponte: function"));
        QCOMPARE(d.value(1), QStringLiteral("linha do diario"));
        QVERIFY2(d.value(2).startsWith(QStringLiteral("ERROR falhou {\"codigo\":7} xxx")), qPrintable(d.value(2)));
        QCOMPARE(d.value(2).size(), int(QStringLiteral("ERROR ").size()) + 1200);
        QCOMPARE(d.value(3), QStringLiteral("texto no canal de arquivos"));
        QVERIFY2(d.value(4).startsWith(QStringLiteral("PROMESSA Error: sem tratamento")), qPrintable(d.value(4)));
        QCOMPARE(d.value(5), QStringLiteral("fim"));
        QCOMPARE(d.size(), 6); // the number 42 is ignored
        QCOMPARE(estado->temaId(), QStringLiteral("theme-ocean"));
        QVERIFY(estado->noAr().cronometro);
        QVERIFY(!estado->noAr().rec); // every state message carries all flags
    }

    void erroDaJanelaEPrint()
    {
        casa.definir("/erro", 200, pagina(R"(<script>
            window.print();
            setTimeout(function () { nadaAqui(); }, 0);
          </script>)"),
                     "text/html");
        QVERIFY(abrir("/erro"));
        QTRY_VERIFY_WITH_TIMEOUT(!estado->diario().isEmpty(), espera);
        const QString linha = estado->diario().first();
        QVERIFY2(linha.startsWith(QStringLiteral("ERRO Uncaught ReferenceError: nadaAqui is not defined @ ")), qPrintable(linha));
        QVERIFY(linha.contains(QStringLiteral("/erro:")));
        // window.print went to the shell instead of the engine's own dialog.
        QCOMPARE(js(page(), QStringLiteral("window.print.toString().indexOf('imprimir') > 0")).toBool(), true);
    }

    void scriptDoToken_data()
    {
        QTest::addColumn<QString>("origem");     // "" = the page's own origin with "/"
        QTest::addColumn<QString>("jaGuardado"); // token the page already holds
        QTest::addColumn<QString>("esperado");
        const QString token = QStringLiteral("to'k\"en</script>\\ã");
        QTest::newRow("mesma origem, nada guardado") << "" << "" << token;
        QTest::newRow("não sobrescreve") << "" << "da-pagina" << "da-pagina";
        QTest::newRow("origem com caminho") << "/app/" << "" << "";
    }

    void scriptDoToken()
    {
        QFETCH(QString, origem);
        QFETCH(QString, jaGuardado);
        QFETCH(QString, esperado);
        escreverToken(QStringLiteral("to'k\"en</script>\\ã\n").toUtf8());
        casa.definir("/", 200, pagina("<p>casa</p>"), "text/html");
        casa.definir("/app/", 200, pagina("<p>app</p>"), "text/html");
        // Same origin for every row: clear what an earlier row stored.
        QVERIFY(abrir("/"));
        js(page(), jaGuardado.isEmpty() ? QStringLiteral("localStorage.clear()")
                                        : QStringLiteral("localStorage.setItem('qlv_access_token', '%1')").arg(jaGuardado));
        QVERIFY(abrir(origem.isEmpty() ? "/" : origem.toLatin1()));
        const QVariant v = js(page(), QStringLiteral("localStorage.getItem('qlv_access_token')"));
        QCOMPARE(v.isNull() ? QString() : v.toString(), esperado);
    }

    void linkDeForaVaiProNavegador()
    {
        const QByteArray foraUrl = QStringLiteral("http://127.0.0.1:%1/").arg(fora.porta()).toLatin1();
        casa.definir("/links", 200, pagina("<a id=f href='" + foraUrl + "'>fora</a><a id=c href='/dentro'>dentro</a>"),
                     "text/html");
        casa.definir("/dentro", 200, pagina("dentro"), "text/html");
        QVERIFY(abrir("/links"));
        js(page(), QStringLiteral("document.getElementById('f').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(navegador.abertos.size(), 1, espera);
        QCOMPARE(navegador.abertos.first(), QUrl(QString::fromLatin1(foraUrl)));
        QTest::qWait(300);
        QCOMPARE(page()->url().path(), QStringLiteral("/links"));

        // A link inside navigates inside.
        js(page(), QStringLiteral("document.getElementById('c').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(page()->url().path(), QStringLiteral("/dentro"), espera);

        // A scripted navigation to a foreign host stays in the view.
        js(page(), QStringLiteral("location.href = '%1'").arg(QString::fromLatin1(foraUrl)));
        QTRY_COMPARE_WITH_TIMEOUT(page()->url().port(), int(fora.porta()), espera);
        QCOMPARE(navegador.abertos.size(), 1);
    }

    void daCasa_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("dentro");
        QTest::newRow("sem host") << "about:blank" << true;
        QTest::newRow("host da origem") << "http://servidor-do-set:1440/x" << true;
        QTest::newRow("localhost") << "http://localhost:9/" << true;
        QTest::newRow(".local") << "https://estudio.local:1441/" << true;
        QTest::newRow("domínio da nuvem") << "https://painel." + EstadoVarkelo::dominioDaNuvem() + "/" << true;
        QTest::newRow("outro") << "https://example.org/" << false;
        QTest::newRow("parecido com local") << "https://localxyz/" << false;
    }

    void daCasa()
    {
        QFETCH(QString, url);
        QFETCH(bool, dentro);
        QCOMPARE(Coordenador::daCasa(QUrl(url), QUrl(QStringLiteral("http://servidor-do-set:1440/"))), dentro);
    }

    void pontesDeArquivo_data()
    {
        QTest::addColumn<QString>("pedido");   // JS object literal
        QTest::addColumn<QString>("resposta"); // the event's detail as JSON
        QTest::addColumn<QString>("arquivo");  // file expected in the copy folder ("" = none)
        QTest::newRow("copiar") << "{acao:'copiar', nome:'relatorio.pdf', dados:btoa('PDF!')}"
                                << R"({"acao":"copiar","ok":true})" << "relatorio.pdf";
        QTest::newRow("nome padrão") << "{acao:'copiar', dados:btoa('x')}" << R"({"acao":"copiar","ok":true})"
                                     << "arquivo.pdf";
        QTest::newRow("barra vira hífen") << "{acao:'copiar', nome:'a/b.txt', dados:btoa('x')}"
                                          << R"({"acao":"copiar","ok":true})" << "a-b.txt";
        QTest::newRow("base64 inválido") << "{acao:'copiar', nome:'x.txt', dados:'%%%'}" << R"({"acao":"copiar","ok":false})"
                                         << "";
        QTest::newRow("sem dados") << "{acao:'copiar', nome:'x.txt'}" << R"({"acao":"copiar","ok":false})" << "";
        QTest::newRow("ponto-ponto") << "{acao:'copiar', nome:'..', dados:btoa('x')}" << R"({"acao":"copiar","ok":false})"
                                     << "";
        QTest::newRow("outra ação") << "{acao:'mover', dados:btoa('x')}" << R"({"acao":"?","ok":false})" << "";
    }

    void pontesDeArquivo()
    {
        QFETCH(QString, pedido);
        QFETCH(QString, resposta);
        QFETCH(QString, arquivo);
        casa.definir("/arquivos", 200, pagina(R"(<script>
            window.respostas = [];
            window.addEventListener('varkelo-arquivo', function (e) { respostas.push(JSON.stringify(e.detail)); });
          </script>)"),
                     "text/html");
        // One page serves every row.
        if (!host || host->origem().path() != QStringLiteral("/arquivos"))
            QVERIFY(abrir("/arquivos"));
        js(page(), QStringLiteral("window.respostas = []"));
        const QString pasta = Coordenador::pastaDaCopia();
        QDir(pasta).removeRecursively();
        const QString fora = QDir(QDir::tempPath()).filePath(QStringLiteral("nao-deve-existir.txt"));
        QFile::remove(fora);

        js(page(), QStringLiteral("window.webkit.messageHandlers.varkeloArquivo.postMessage(%1)").arg(pedido));
        QTRY_COMPARE_WITH_TIMEOUT(js(page(), QStringLiteral("respostas.length")).toInt(), 1, espera);
        QCOMPARE(js(page(), QStringLiteral("respostas[0]")).toString(), resposta);

        const QStringList arquivos = QDir(pasta).entryList(QDir::Files);
        QCOMPARE(arquivos, arquivo.isEmpty() ? QStringList{} : QStringList{arquivo});
        if (!arquivo.isEmpty()) {
            const QUrl url = QUrl::fromLocalFile(QDir(pasta).filePath(arquivo));
            QCOMPARE(QGuiApplication::clipboard()->mimeData()->urls().value(0), url);
        }
        QVERIFY(!QFile::exists(fora));
    }

    void destinoDaCopia_data()
    {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QString>("destino"); // "" = refused
        QTest::newRow("simples") << "a.pdf" << "a.pdf";
        QTest::newRow("barras") << "../../etc/passwd" << "..-..-etc-passwd";
        QTest::newRow("ponto") << "." << "";
        QTest::newRow("ponto-ponto") << ".." << "";
        QTest::newRow("vazio") << "" << "";
    }

    void destinoDaCopia()
    {
        QFETCH(QString, nome);
        QFETCH(QString, destino);
        const QString pasta = QStringLiteral("/tmp/Varkelo-copia");
        const std::optional<QString> d = Coordenador::destinoDaCopia(pasta, nome);
        QCOMPARE(d.value_or(QString()), destino.isEmpty() ? QString() : pasta + QLatin1Char('/') + destino);
    }

    void downloadsNuncaSobrescrevem()
    {
        ServidorDeTeste::Resposta png{200, "PNG-bytes", "image/png", {{"Content-Disposition", "attachment; filename=foto.png"}}};
        casa.definir("/foto.png", png);
        casa.definir("/baixar", 200, pagina("<a id=a href='/foto.png' download>foto</a>"), "text/html");
        const QString pasta = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        QDir(pasta).removeRecursively();
        QVERIFY(abrir("/baixar"));
        js(page(), QStringLiteral("document.getElementById('a').click()"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(pasta).filePath(QStringLiteral("foto.png"))), espera);
        js(page(), QStringLiteral("document.getElementById('a').click()"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(pasta).filePath(QStringLiteral("foto 2.png"))), espera);
        QFile f(QDir(pasta).filePath(QStringLiteral("foto 2.png")));
        QTRY_COMPARE_WITH_TIMEOUT(f.size(), qint64(9), espera);
    }

    void nomeLivre()
    {
        QTemporaryDir d;
        QCOMPARE(Coordenador::nomeLivre(d.path(), QStringLiteral("relatorio.pdf")), QStringLiteral("relatorio.pdf"));
        QFile(d.filePath(QStringLiteral("relatorio.pdf"))).open(QIODevice::WriteOnly);
        QFile(d.filePath(QStringLiteral("relatorio 2.pdf"))).open(QIODevice::WriteOnly);
        QCOMPARE(Coordenador::nomeLivre(d.path(), QStringLiteral("relatorio.pdf")), QStringLiteral("relatorio 3.pdf"));
        QFile(d.filePath(QStringLiteral("LEIAME"))).open(QIODevice::WriteOnly);
        QCOMPARE(Coordenador::nomeLivre(d.path(), QStringLiteral("LEIAME")), QStringLiteral("LEIAME 2"));
        // A name being downloaded right now counts as taken.
        QCOMPARE(Coordenador::nomeLivre(d.path(), QStringLiteral("b.txt"), {d.filePath(QStringLiteral("b.txt"))}),
                 QStringLiteral("b 2.txt"));
        QCOMPARE(Coordenador::nomeLivre(d.path(), QStringLiteral("../x.txt")), QStringLiteral("x.txt"));
    }

    void popups()
    {
        const QString foraUrl = QStringLiteral("http://127.0.0.1:%1/").arg(fora.porta());
        casa.definir("/popup", 200, pagina("<p>popup</p>"), "text/html");
        casa.definir("/abre", 200, pagina("<p>abre</p>"), "text/html");
        QVERIFY(abrir("/abre"));
        Coordenador *c = host->coordenador();

        js(page(), QStringLiteral("window.open('%1')").arg(foraUrl));
        QTRY_COMPARE_WITH_TIMEOUT(navegador.abertos.size(), 1, espera);
        QCOMPARE(c->janelasExtras().size(), 0);

        js(page(), QStringLiteral("window.open('/popup')"));
        QTRY_COMPARE_WITH_TIMEOUT(c->janelasExtras().size(), 1, espera);
        QWidget *p1 = c->janelasExtras().first();
        QCOMPARE(p1->windowTitle(), QStringLiteral("Varkelo"));
        QCOMPARE(p1->size(), QSize(960, 600));

        js(page(), QStringLiteral("window.open('/popup', 'b', 'width=500,height=400')"));
        QTRY_COMPARE_WITH_TIMEOUT(c->janelasExtras().size(), 2, espera);
        QWidget *p2 = c->janelasExtras().last();
        QCOMPARE(p2->size(), QSize(500, 400));

        // window.close() from the popup closes it.
        auto *v = p2->findChild<QWebEngineView *>();
        QTRY_VERIFY_WITH_TIMEOUT(v->url().path() == QStringLiteral("/popup") && !v->page()->isLoading(), espera);
        js(v->page(), QStringLiteral("window.close()"));
        QTRY_COMPARE_WITH_TIMEOUT(c->janelasExtras().size(), 1, espera);

        // The person closing one removes it too.
        p1->close();
        QCOMPARE(c->janelasExtras().size(), 0);
    }

    void posicaoDoPopup_data()
    {
        QTest::addColumn<QRect>("pedido");
        QTest::addColumn<QPoint>("posicao"); // (-1,-1) = stays centred
        QTest::newRow("dentro") << QRect(100, 100, 400, 300) << QPoint(100, 100);
        QTest::newRow("passando da direita") << QRect(1100, 100, 400, 300) << QPoint(880, 100);
        QTest::newRow("passando de baixo e da esquerda") << QRect(-50, 700, 400, 300) << QPoint(0, 500);
        QTest::newRow("maior que a tela") << QRect(10, 10, 2000, 900) << QPoint(0, 0);
        QTest::newRow("fora de tudo") << QRect(5000, 5000, 400, 300) << QPoint(-1, -1);
        QTest::newRow("segunda tela") << QRect(1900, 50, 400, 300) << QPoint(1880, 50);
    }

    void posicaoDoPopup()
    {
        QFETCH(QRect, pedido);
        QFETCH(QPoint, posicao);
        const QList<QRect> telas{QRect(0, 0, 1280, 800), QRect(1280, 0, 1000, 700)};
        QCOMPARE(Coordenador::posicaoDoPopup(pedido, telas).value_or(QPoint(-1, -1)), posicao);
    }

    void acessibilidadeSemRecarregar()
    {
        casa.definir("/a11y", 200, pagina(R"(<script>
            window.eventos = 0;
            window.addEventListener('varkelo-sistema', function () { eventos++; });
          </script>)"),
                     "text/html");
        Acessibilidade::instancia()->definir({});
        QVERIFY(abrir("/a11y"));
        QCOMPARE(js(page(), QStringLiteral("JSON.stringify(window.varkeloSistema)")).toString(),
                 QStringLiteral(R"({"menosTransparencia":false,"maisContraste":false,"menosMovimento":false})"));
        js(page(), QStringLiteral("window.marca = 'sem recarga'"));
        Acessibilidade::instancia()->definir({false, true, true});
        QTRY_COMPARE_WITH_TIMEOUT(js(page(), QStringLiteral("eventos")).toInt(), 1, espera);
        QCOMPARE(js(page(), QStringLiteral("window.varkeloSistema.menosMovimento && window.varkeloSistema.maisContraste"))
                     .toBool(),
                 true);
        QCOMPARE(js(page(), QStringLiteral("window.marca")).toString(), QStringLiteral("sem recarga"));
        // A later load gets the new values from the start.
        page()->triggerAction(QWebEnginePage::Reload);
        QTRY_VERIFY_WITH_TIMEOUT(js(page(), QStringLiteral("window.marca === undefined && window.varkeloSistema.menosMovimento"))
                                     .toBool(),
                                 espera);
        Acessibilidade::instancia()->definir({});
    }

    void recarregaAPedido()
    {
        casa.definir("/conta", 200, pagina("<script>window.webkit.messageHandlers.varkelo.postMessage('carregou')</script>"),
                     "text/html");
        QVERIFY(abrir("/conta"));
        QTRY_COMPARE_WITH_TIMEOUT(estado->diario().size(), 1, espera);
        estado->setCarregando(true);
        estado->pedirRecarga();
        QTRY_COMPARE_WITH_TIMEOUT(estado->diario().size(), 2, espera);
        QTRY_VERIFY_WITH_TIMEOUT(!estado->carregando(), espera);
    }

    void agenteDeUsuario()
    {
        casa.definir("/ua", 200, pagina(""), "text/html");
        QVERIFY(abrir("/ua"));
        const QString ua = js(page(), QStringLiteral("navigator.userAgent")).toString();
        QVERIFY2(ua.endsWith(QStringLiteral(" VarkeloApp/1.0 Safari/605.1.15")), qPrintable(ua));
        QVERIFY(ua.startsWith(QStringLiteral("Mozilla/5.0")));
    }
};

QV_TESTE_COM_GUI(TestePaginaVarkelo)
#include "tst_pagina_varkelo.moc"
