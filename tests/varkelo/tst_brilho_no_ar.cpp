// The glow ring: its mask, colours, switches, motion and that it never takes
// a click.
#include "Acessibilidade.h"
#include "Ambiente.h"
#include "BrilhoNoAr.h"
#include "FundoDoTema.h"
#include "Tema.h"
#include "TemaAtual.h"

#include <QApplication>
#include <QPushButton>

class TesteBrilhoNoAr : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void anelVazioSemImagem()
    {
        QVERIFY(VistaBrilho::desenharAnel(QSizeF(0, 100), 2).isNull());
        QVERIFY(VistaBrilho::desenharAnel(QSizeF(100, 0.3), 2).isNull());
    }

    void anelForteNaBordaEVazioNoMeio()
    {
        const QImage anel = VistaBrilho::desenharAnel(QSizeF(400, 300), 2);
        QCOMPARE(anel.size(), QSize(800, 600));
        const auto alfa = [&](int x, int y) { return qAlpha(anel.pixel(x, y)); };
        QCOMPARE(alfa(400, 3), 255);           // the 3-point line at the edge (1.5 inset, scale 2)
        QCOMPARE(alfa(400, 300), 0);           // the middle stays clear
        QCOMPARE(alfa(400, 2 * 95), 0);        // nothing past about 92 points
        QVERIFY(alfa(400, 2 * 10) > alfa(400, 2 * 60)); // fading inwards
        QVERIFY(alfa(400, 2 * 60) > 0);
    }

    void cores()
    {
        const Tema &t = Tema::porId(QStringLiteral("theme-apple-dark"));
        const QList<QColor> gravando = BrilhoNoAr::cores(NoAr{true, false, false, true}, t);
        QCOMPARE(gravando.size(), 5);
        QCOMPARE(gravando[0], t.vermelho);
        QCOMPARE(gravando[1], t.laranja);
        QCOMPARE(gravando[3].alphaF(), t.laranja.alphaF() * 0.85f);
        const QList<QColor> tempo = BrilhoNoAr::cores(NoAr{false, true, false, false}, t);
        QCOMPARE(tempo.size(), 6);
        QCOMPARE(tempo[0], t.azul);
        QCOMPARE(tempo[1], t.verde);
        QVERIFY(qAbs(tempo[3].alphaF() - 0.6f) < 0.01f);
    }

    void acendeGiraEApagaParando()
    {
        VistaBrilho v;
        v.resize(300, 200);
        v.show();
        QVERIFY(!v.aceso());
        QTRY_VERIFY(!v.animando());

        const Tema &t = Tema::padrao();
        v.configurar(BrilhoNoAr::cores(NoAr{true}, t), true, true);
        QVERIFY(v.aceso() && v.girando() && v.animando());
        QTRY_VERIFY_WITH_TIMEOUT(v.opacidadeAtual() > 0.999, 2000);
        QVERIFY(v.animando()); // still turning once lit

        // The frame is red at the edge and empty in the middle.
        const QImage q = v.quadroAtual();
        const QRgb borda = q.pixel(q.width() / 2, 3);
        QVERIFY2(qRed(borda) > qBlue(borda) + 40, qPrintable(QString::number(borda, 16)));
        QCOMPARE(qAlpha(q.pixel(q.width() / 2, q.height() / 2)), 0);

        v.configurar(BrilhoNoAr::cores(NoAr{}, t), false, true);
        QTest::qWait(500);
        QVERIFY(v.girando()); // keeps turning while it fades
        QTRY_VERIFY_WITH_TIMEOUT(!v.animando(), 2000);
        QVERIFY(!v.girando());
        QVERIFY(v.opacidadeAtual() < 0.001);
    }

    void movimentoReduzidoAcendeParado()
    {
        VistaBrilho v;
        v.resize(300, 200);
        v.show();
        v.configurar(BrilhoNoAr::cores(NoAr{false, false, true, false}, Tema::padrao()), true, false);
        QVERIFY(v.aceso());
        QVERIFY(!v.girando());
        // Only the fade in runs; then nothing is animated.
        QTRY_VERIFY_WITH_TIMEOUT(!v.animando(), 2000);
        QVERIFY(v.opacidadeAtual() > 0.999);
        const QImage q = v.quadroAtual();
        const QRgb borda = q.pixel(q.width() / 2, 3);
        QVERIFY(qBlue(borda) > qRed(borda)); // blue and green

        // Switching motion back on turns it; off again stops it at once.
        v.configurar(v.cores(), true, true);
        QVERIFY(v.girando());
        v.configurar(v.cores(), true, false);
        QTRY_VERIFY_WITH_TIMEOUT(!v.girando(), 500);
    }

    void anelSoRedesenhaComTamanhoNovo()
    {
        VistaBrilho v;
        v.resize(300, 200);
        v.show();
        const int antes = v.desenhosDoAnel();
        v.resize(301, 201);
        QCOMPARE(v.desenhosDoAnel(), antes);
        v.resize(303, 201);
        QCOMPARE(v.desenhosDoAnel(), antes + 1);
        QCOMPARE(v.tamanhoDoAnel(), QSize(303, 201));
    }

    void cliquePassaParaBaixo()
    {
        QWidget janela;
        janela.resize(400, 300);
        auto *botao = new QPushButton(QStringLiteral("página"), &janela);
        botao->setGeometry(0, 0, 400, 300);
        auto *v = new VistaBrilho(&janela);
        v->setGeometry(0, 0, 400, 300);
        v->configurar(BrilhoNoAr::cores(NoAr{true}, Tema::padrao()), true, true);
        janela.show();
        QVERIFY(QTest::qWaitForWindowExposed(&janela));
        // Where the ring is brightest, the widget under the pointer is the page.
        QCOMPARE(janela.childAt(QPoint(200, 2)), botao);
        QCOMPARE(janela.childAt(QPoint(3, 150)), botao);
    }

    // Renders the ring over the theme background for a look.
    void imagem()
    {
        for (const QString &id : {QStringLiteral("theme-apple-dark"), QStringLiteral("theme-apple-light")}) {
            TemaAtual::instancia()->definirTemaId(id);
            QWidget janela;
            janela.resize(640, 410);
            janelaOndrel(&janela);
            auto *v = new VistaBrilho(&janela);
            v->setGeometry(janela.rect());
            v->configurar(BrilhoNoAr::cores(NoAr{id.endsWith("dark")}, TemaAtual::atual()), true, false);
            janela.show();
            QVERIFY(QTest::qWaitForWindowExposed(&janela));
            QTRY_VERIFY(!v->animando());
            const QImage img = janela.grab().toImage();
            QVERIFY(!img.isNull());
            const QString saida = qEnvironmentVariable("VARKELO_PNG_DIR");
            if (!saida.isEmpty())
                img.save(saida + QStringLiteral("/brilho-%1.png").arg(id));
        }
    }
};

QV_TESTE_COM_GUI(TesteBrilhoNoAr)
#include "tst_brilho_no_ar.moc"
