// The main window with the real engine: opening screen, full screen and its
// page class, the remembered setting, the Control+Super drag, the commands.
#include "Abrindo.h"
#include "Ambiente.h"
#include "BrilhoNoAr.h"
#include "EstadoVarkelo.h"
#include "JanelaVarkelo.h"
#include "PaginaVarkelo.h"
#include "ServidorDeTeste.h"
#include "TemaAtual.h"

#include <QApplication>
#include <QSettings>
#include <QWebEngineView>

namespace {
const bool contextosCompartilhados = (QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts), true);
constexpr int espera = 30000;

QSettings ajustes() { return QSettings(QStringLiteral("Varkelo"), QStringLiteral("Varkelo")); }

QVariant js(QWebEnginePage *p, const QString &codigo)
{
    QVariant r;
    bool pronto = false;
    p->runJavaScript(codigo, [&](const QVariant &v) {
        r = v;
        pronto = true;
    });
    QTest::qWaitFor([&] { return pronto; }, espera);
    return r;
}

} // namespace

class TesteJanelaVarkelo : public QObject
{
    Q_OBJECT

    ServidorDeTeste servidor;
    std::unique_ptr<EstadoVarkelo> estado;
    std::unique_ptr<JanelaVarkelo> janela;

    void abrir(std::optional<Bancada> bancada = std::nullopt)
    {
        janela.reset();
        EstadoVarkelo::Enderecos e;
        e.local = QUrl(servidor.base());
        e.dev = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(Ambiente::portaLivre()));
        estado = std::make_unique<EstadoVarkelo>(e, bancada);
        janela = std::make_unique<JanelaVarkelo>(estado.get());
        janela->show();
    }
    QWebEnginePage *page() { return janela->pagina()->web()->page(); }
    bool classe() { return js(page(), QStringLiteral("document.documentElement.classList.contains('em-tela-cheia')")).toBool(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(servidor.ouvir());
        servidor.definir("/netinfo", 200, "{}", "application/json");
        servidor.definir("/", 200, R"(<!doctype html><html><body style="background:transparent">
            <script>window.descidas = 0; addEventListener('mousedown', function () { descidas++; });</script>
            </body></html>)",
                         "text/html");
    }

    void cleanup()
    {
        janela.reset();
        estado.reset();
        ajustes().clear();
    }

    void aberturaEPagina()
    {
        abrir();
        QCOMPARE(janela->abrindo()->texto(), QStringLiteral("Procurando o Quilvo…"));
        QVERIFY(janela->abrindo()->isVisible());
        QCOMPARE(janela->size(), QSize(1280, 820));
        QVERIFY(janela->windowFlags() & Qt::FramelessWindowHint);
        QTRY_VERIFY_WITH_TIMEOUT(estado->origem().has_value(), espera);
        QCOMPARE(janela->abrindo()->texto(), QStringLiteral("Abrindo pelo Quilvo deste Mac"));
        QTRY_VERIFY_WITH_TIMEOUT(!estado->carregando(), espera);
        // The opening screen fades out once the page has loaded.
        QTRY_VERIFY_WITH_TIMEOUT(!janela->abrindo()->isVisible(), 3000);

        // It cannot be made smaller than 900 by 600.
        janela->resize(500, 400);
        QVERIFY(janela->width() >= 900 && janela->height() >= 600);

        // Menu line and choices.
        QVERIFY(janela->acaoAgora()->text().startsWith(QStringLiteral("Agora: Quilvo · ")));
        QVERIFY(!janela->acaoAgora()->isEnabled());
        QStringList rotulos;
        for (QAction *a : janela->acoesDeOrigem())
            rotulos << a->text() + (a->isChecked() ? QStringLiteral(" ✓") : QString());
        QCOMPARE(rotulos, (QStringList{QStringLiteral("Automática (Quilvo ou nuvem) ✓"), QStringLiteral("Nuvem"),
                                       QStringLiteral("Desenvolvimento (porta 1442)")}));

        // Ctrl+R reloads, also with the page focused.
        janela->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(janela.get()));
        janela->pagina()->web()->setFocus();
        QWidget *foco = janela->pagina()->web()->focusProxy() ? janela->pagina()->web()->focusProxy()
                                                               : janela->pagina()->web();
        QTest::keyClick(foco, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(estado->recarregar(), 1);

        // Choosing another source brings the opening screen back.
        janela->acoesDeOrigem()[1]->trigger();
        QVERIFY(janela->abrindo()->isVisible());
        QCOMPARE(janela->pagina(), nullptr);
        QCOMPARE(janela->abrindo()->texto(), QStringLiteral("Procurando o Quilvo…"));
        QTRY_VERIFY_WITH_TIMEOUT(estado->origem().has_value(), espera);
        QCOMPARE(janela->abrindo()->texto(), QStringLiteral("Abrindo pela nuvem"));
        QVERIFY(janela->acaoAgora()->text().startsWith(QStringLiteral("Agora: Nuvem · ")));
        QVERIFY(janela->acoesDeOrigem()[1]->isChecked());
    }

    void telaCheiaMarcaAPaginaEFicaGuardada()
    {
        abrir();
        QTRY_VERIFY_WITH_TIMEOUT(!estado->carregando(), espera);
        QVERIFY(!classe());
        janela->acaoTelaCheia()->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(classe(), espera);
        QCOMPARE(ajustes().value(QStringLiteral("telaCheia")).toBool(), true);

        // A load in full screen gets the class again.
        estado->pedirRecarga();
        QTest::qWait(200);
        QTRY_VERIFY_WITH_TIMEOUT(!page()->isLoading() && classe(), espera);

        janela->acaoTelaCheia()->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!classe(), espera);
        QCOMPARE(ajustes().value(QStringLiteral("telaCheia")).toBool(), false);

        // The page's own request toggles it too.
        estado->receber({{"janela", "telaCheia"}});
        QTRY_VERIFY_WITH_TIMEOUT(janela->isFullScreen(), 2000);
    }

    void telaCheiaRestaurada()
    {
        ajustes().setValue(QStringLiteral("telaCheia"), true);
        abrir();
        QVERIFY(!janela->isFullScreen());
        QTRY_VERIFY_WITH_TIMEOUT(janela->isFullScreen(), 3000);
    }

    void bancadaNaoRestauraNemGuarda()
    {
        ajustes().setValue(QStringLiteral("telaCheia"), true);
        abrir(Bancada{QUrl(servidor.base()), QStringLiteral("t")});
        QTest::qWait(700);
        QVERIFY(!janela->isFullScreen());
        ajustes().setValue(QStringLiteral("telaCheia"), false);
        JanelaVarkelo::alternarTelaCheia(janela.get());
        QTRY_VERIFY(janela->isFullScreen());
        QCOMPARE(ajustes().value(QStringLiteral("telaCheia")).toBool(), false);
    }

    void arrastoComControleESuper()
    {
        abrir();
        QTRY_VERIFY_WITH_TIMEOUT(!estado->carregando(), espera);
        QVERIFY(QTest::qWaitForWindowExposed(janela.get()));
        janela->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(janela.get()));
        QWidget *alvo = janela->pagina()->web()->focusProxy();
        QVERIFY(alvo);
        // The page takes input once its first frame is on the screen.
        QTest::qWait(500);

        // A plain drag reaches the page and leaves the window where it is.
        const QPoint antes = janela->pos();
        QTest::mousePress(alvo, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
        QTest::mouseMove(alvo, QPoint(360, 340));
        QTest::mouseRelease(alvo, Qt::LeftButton, Qt::NoModifier, QPoint(360, 340));
        QTRY_COMPARE_WITH_TIMEOUT(js(page(), QStringLiteral("descidas")).toInt(), 1, espera);
        QCOMPARE(janela->pos(), antes);

        // With Control and Super held the window moves and the page sees nothing.
        const Qt::KeyboardModifiers cs = Qt::ControlModifier | Qt::MetaModifier;
        QTest::mousePress(alvo, Qt::LeftButton, cs, QPoint(300, 300));
        QTest::mouseMove(alvo, QPoint(360, 340));
        QTest::mouseRelease(alvo, Qt::LeftButton, cs, QPoint(360, 340));
        QTRY_COMPARE(janela->pos(), antes + QPoint(60, 40));
        QTest::qWait(300);
        QCOMPARE(js(page(), QStringLiteral("descidas")).toInt(), 1);
    }

    void anelAcendeComOQueEstaNoAr()
    {
        abrir();
        QTRY_VERIFY_WITH_TIMEOUT(!estado->carregando(), espera);
        QVERIFY(!janela->brilho()->aceso());
        estado->receber({{"rec", true}});
        QVERIFY(janela->brilho()->aceso());
        QCOMPARE(janela->brilho()->cores().first(), TemaAtual::atual().vermelho);
        estado->receber({});
        QVERIFY(!janela->brilho()->aceso());
    }

    // The opening screen in a dark and a light theme, for a look.
    void imagens()
    {
        const QString saida = qEnvironmentVariable("VARKELO_PNG_DIR");
        for (const QString &id : {QStringLiteral("theme-apple-dark"), QStringLiteral("theme-apple-light")}) {
            ajustes().setValue(QStringLiteral("tema"), id);
            // No server at all: the screen stays on "Procurando o Quilvo…".
            EstadoVarkelo::Enderecos fechados;
            fechados.local = fechados.dev = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(Ambiente::portaLivre()));
            EstadoVarkelo e(fechados, std::nullopt);
            JanelaVarkelo j(&e);
            j.resize(900, 600);
            j.show();
            QVERIFY(QTest::qWaitForWindowExposed(&j));
            j.abrindo()->fixarLuz(1);
            const QImage img = j.grab().toImage();
            QVERIFY(!img.isNull());
            if (!saida.isEmpty())
                img.save(saida + QStringLiteral("/abrindo-%1.png").arg(id));
        }
    }
};

QV_TESTE_COM_GUI(TesteJanelaVarkelo)
#include "tst_janela_varkelo.moc"
