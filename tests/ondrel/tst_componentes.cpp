// Behaviour of the components without looking at a whole screen: the flow
// layout's measuring and placing, element categories, tile metrics, springs
// and reduced motion, the entrance, button hover rules, and the current theme
// reaching a dressed window.
#include <QApplication>
#include <QEnterEvent>
#include <QtTest>

#include "Ambiente.h"
#include "Ondrel.h"
#include "EfeitoOndrel.h"

namespace {
QList<QSizeF> tres40() { return {QSizeF(40, 20), QSizeF(40, 20), QSizeF(40, 20)}; }

// Channel distance between two colours.
int distancia(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

QColor sobre(const QColor &cima, const QColor &baixo)
{
    const qreal a = cima.alphaF();
    return QColor::fromRgbF(cima.redF() * a + baixo.redF() * (1 - a), cima.greenF() * a + baixo.greenF() * (1 - a),
                            cima.blueF() * a + baixo.blueF() * (1 - a));
}

struct MovimentoReduzido {
    explicit MovimentoReduzido(bool sim) { qputenv("ONDREL_REDUZIR_MOVIMENTO", sim ? "1" : "0"); }
    ~MovimentoReduzido() { qputenv("ONDREL_REDUZIR_MOVIMENTO", "0"); }
};
} // namespace

class TesteComponentes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("ONDREL_REDUZIR_MOVIMENTO", "0");
        OndrelFontes::registrar();
    }
    void init() { TemaAtual::instancia()->definirTemaId("theme-apple-dark"); }

    // ---- FlowLayout ----
    void fluxoMede_data()
    {
        QTest::addColumn<QList<QSizeF>>("filhos");
        QTest::addColumn<qreal>("largura"); // < 0: none proposed
        QTest::addColumn<QSizeF>("esperado");
        QTest::newRow("100: duas linhas") << tres40() << 100.0 << QSizeF(100, 48);
        QTest::newRow("sem largura: uma linha com espaço final") << tres40() << -1.0 << QSizeF(144, 20);
        QTest::newRow("cabe exatamente") << tres40() << 136.0 << QSizeF(136, 20);
        QTest::newRow("largo demais fica só") << QList<QSizeF>{{150, 30}, {40, 20}} << 100.0 << QSizeF(100, 58);
        QTest::newRow("alturas diferentes") << QList<QSizeF>{{40, 10}, {40, 30}, {40, 20}} << 100.0
                                            << QSizeF(100, 58);
        QTest::newRow("vazio") << QList<QSizeF>{} << 100.0 << QSizeF(100, 0);
    }
    void fluxoMede()
    {
        QFETCH(QList<QSizeF>, filhos);
        QFETCH(qreal, largura);
        QFETCH(QSizeF, esperado);
        const std::optional<qreal> w = largura < 0 ? std::nullopt : std::optional<qreal>(largura);
        QCOMPARE(FlowLayout::medir(filhos, w, 8), esperado);
    }

    void fluxoPosiciona()
    {
        const QList<QRectF> r = FlowLayout::posicionar(tres40(), QRectF(10, 5, 100, 100), 8);
        QCOMPARE(r.size(), 3);
        QCOMPARE(r[0], QRectF(10, 5, 40, 20));
        QCOMPARE(r[1], QRectF(58, 5, 40, 20));  // 58 + 40 = 98 <= 110
        QCOMPARE(r[2], QRectF(10, 33, 40, 20)); // 106 + 40 > 110 wraps
        // A first item wider than the bounds is placed, never wrapped before.
        const QList<QRectF> largo = FlowLayout::posicionar({{150, 20}, {40, 20}}, QRectF(0, 0, 100, 100), 8);
        QCOMPARE(largo[0].topLeft(), QPointF(0, 0));
        QCOMPARE(largo[1].topLeft(), QPointF(0, 28));
    }

    void fluxoComoLayoutDeWidgets()
    {
        QWidget pai;
        auto *f = new FlowLayout(8, &pai);
        QList<QWidget *> filhos;
        for (int i = 0; i < 4; ++i) {
            auto *w = new QWidget;
            w->setFixedSize(40, 20);
            f->addWidget(w);
            filhos << w;
        }
        filhos[3]->hide(); // hidden children take no place
        QCOMPARE(f->heightForWidth(100), 48);
        QCOMPARE(f->sizeHint(), QSize(144, 20));
        pai.resize(100, 48);
        pai.show();
        QApplication::processEvents();
        QCOMPARE(filhos[0]->geometry(), QRect(0, 0, 40, 20));
        QCOMPARE(filhos[1]->geometry(), QRect(48, 0, 40, 20));
        QCOMPARE(filhos[2]->geometry(), QRect(0, 28, 40, 20));
    }

    // ---- Element categories and tiles ----
    void categoria_data()
    {
        using C = Elementos::Categoria;
        QTest::addColumn<QString>("codigo");
        QTest::addColumn<bool>("ausente");
        QTest::addColumn<int>("esperada");
        const struct {
            C cat;
            QStringList codigos;
        } listas[] = {
            {C::vermelha, {"Cl", "Cr", "Le", "Tf", "Tm", "Tp", "Tt", "Tv"}},
            {C::verde, {"Ar", "Dr", "Ft", "Pr", "An", "Bt", "Vf", "Mp", "Tr"}},
            {C::azul, {"Ca", "Od", "Pj"}},
            {C::amarela, {"Hi"}},
            {C::neutra, {"Aj", "Gu", "Lt", "Ma", "No", "Po", "Si", "Qv"}},
        };
        for (const auto &l : listas)
            for (const QString &c : l.codigos)
                QTest::addRow("%s", qPrintable(c)) << c << false << int(l.cat);
        QTest::newRow("ausente") << QString() << true << int(C::nenhuma);
        QTest::newRow("vazio") << "" << false << int(C::nenhuma);
        QTest::newRow("cl minúsculo") << "cl" << false << int(C::nenhuma);
        QTest::newRow("CL maiúsculo") << "CL" << false << int(C::nenhuma);
        QTest::newRow("fora das listas") << "Zz" << false << int(C::nenhuma);
        QTest::newRow("com espaço") << "Hi " << false << int(C::nenhuma);
    }
    void categoria()
    {
        QFETCH(QString, codigo);
        QFETCH(bool, ausente);
        QFETCH(int, esperada);
        const auto c = Elementos::categoria(ausente ? std::nullopt : std::optional<QString>(codigo));
        QCOMPARE(int(c), esperada);
    }

    void corDaCategoriaNoTile()
    {
        const Tema &t = Tema::padrao();
        // `categoria` wins over the sigla.
        Ptile azul("Cl", std::nullopt, 56, QStringLiteral("Ca"));
        QCOMPARE(azul.categoria(), Elementos::Categoria::azul);
        QCOMPARE(Elementos::cor(azul.categoria(), t), t.azul);
        Ptile semCategoria("Cl");
        QCOMPARE(semCategoria.categoria(), Elementos::Categoria::vermelha);
        QCOMPARE(Elementos::cor(Elementos::Categoria::neutra, t), t.textoSec);
        QCOMPARE(Elementos::cor(Elementos::Categoria::amarela, t), t.amarelo);
    }

    void medidasDoTile()
    {
        // Side 40: 0.125 × 40 = 5 is under the 6.5 floor.
        const Ptile::Medidas m40 = Ptile::medidas(40, true);
        QCOMPARE(m40.tamanhoNome, 6.5);
        QCOMPARE(m40.elevacaoSigla, 2.4);
        QCOMPARE(m40.tamanhoSigla, 16.8);
        QCOMPARE(m40.canto, 7.2);
        QCOMPARE(m40.barra, QSizeF(14.4, 2));
        QCOMPARE(Ptile::medidas(80, true).tamanhoNome, 10.0);
        QCOMPARE(Ptile::medidas(40, false).elevacaoSigla, 0.0);
    }

    // ---- Motion ----
    void molas()
    {
        const Mola critica{0.42, 1.0};
        QCOMPARE(critica.progresso(0), 0.0);
        qreal antes = 0;
        for (qreal t = 0.01; t < 1.0; t += 0.01) { // critically damped: never overshoots
            const qreal p = critica.progresso(t);
            QVERIFY(p >= antes && p <= 1.0);
            antes = p;
        }
        QVERIFY(std::abs(1 - critica.progresso(critica.duracaoMs() / 1000.0)) <= 0.001);
        QVERIFY(critica.duracaoMs() > 400 && critica.duracaoMs() < 800);

        const Mola toque = EstiloBotaoOndrel::molaDoToque(); // 0.25, 0.8: a small overshoot
        qreal maximo = 0;
        for (qreal t = 0; t < 1.0; t += 0.005)
            maximo = std::max(maximo, toque.progresso(t));
        QVERIFY(maximo > 1.0 && maximo < 1.05);

        AnimacaoMola a(critica);
        a.setStartValue(0.0);
        a.setEndValue(10.0);
        a.setCurrentTime(a.duration() / 4);
        const qreal quarto = a.currentValue().toReal();
        QVERIFY(quarto > 2.5); // springs lead a linear ramp
        a.setCurrentTime(a.duration());
        QCOMPARE(a.currentValue().toReal(), 10.0);
    }

    void movimentoReduzidoPeloAmbiente()
    {
        {
            MovimentoReduzido sim(true);
            QVERIFY(Movimento::reduzido());
        }
        QVERIFY(!Movimento::reduzido());
    }

    void entrada_data()
    {
        QTest::addColumn<bool>("reduzido");
        QTest::newRow("com movimento") << false;
        QTest::newRow("movimento reduzido") << true;
    }
    void entrada()
    {
        QFETCH(bool, reduzido);
        MovimentoReduzido m(reduzido);
        QWidget pai;
        pai.resize(200, 100);
        auto *bloco = new QWidget(&pai);
        bloco->resize(100, 40);
        Aparecer *a = aparecer(bloco, 3);
        QVERIFY(aparecer(bloco, 3) == a); // attached once
        auto *efeito = qobject_cast<EfeitoOndrel *>(bloco->graphicsEffect());
        QVERIFY(efeito);
        QCOMPARE(efeito->opacidade(), 0.0);
        QCOMPARE(efeito->deslocamentoY(), reduzido ? 0.0 : 8.0);
        QCOMPARE(a->atrasoMs(), reduzido ? 0 : 165);

        QElapsedTimer relogio;
        relogio.start();
        QSignalSpy fim(a, &Aparecer::terminou);
        pai.show();
        QVERIFY(a->visto());
        if (!reduzido) {
            QTest::qWait(100); // still waiting out its delay
            QCOMPARE(efeito->opacidade(), 0.0);
        }
        QVERIFY(fim.wait(3000));
        QVERIFY(relogio.elapsed() >= (reduzido ? 0 : 165));
        QCOMPARE(efeito->opacidade(), 1.0);
        QCOMPARE(efeito->deslocamentoY(), 0.0);
        // Shown again later: it does not enter a second time.
        pai.hide();
        pai.show();
        QCOMPARE(efeito->opacidade(), 1.0);
    }

    void pontoVivoSemHaloComMovimentoReduzido()
    {
        PontoVivo p(Qt::green, 10, true);
        QCOMPARE(p.sizeHint(), QSize(26, 26));
        {
            MovimentoReduzido m(true);
            QVERIFY(!p.comHalo());
            p.show();
            QVERIFY(!p.animando());
            p.hide();
        }
        QVERIFY(p.comHalo());
        p.show();
        QVERIFY(p.animando());
        p.hide();
        QVERIFY(!p.animando());
        p.setAceso(false);
        QVERIFY(!p.comHalo());
    }

    // ---- Button ----
    void botaoSobreSoQuandoHabilitado()
    {
        QWidget janela;
        auto *b = new BotaoOndrel("Salvar", true, &janela);
        b->move(10, 10);
        b->resize(b->sizeHint());
        janela.show();
        QCOMPARE(b->capsula().height(), 30.0);
        const QPointF centro = b->capsula().center();
        QEnterEvent entra(centro, b->mapToGlobal(centro), b->mapToGlobal(centro));
        QApplication::sendEvent(b, &entra);
        QVERIFY(b->sobre());
        QTRY_VERIFY(std::abs(b->escalaAtual() - 1.02) < 1e-3);

        b->setEnabled(false);
        QVERIFY(!b->sobre());
        QTRY_VERIFY(std::abs(b->escalaAtual() - 1.0) < 1e-3);
        QEnterEvent denovo(centro, b->mapToGlobal(centro), b->mapToGlobal(centro));
        QApplication::sendEvent(b, &denovo);
        QVERIFY(!b->sobre());
        QTest::qWait(300);
        QCOMPARE(b->escalaAtual(), 1.0);

        b->setCompacto(true);
        QCOMPARE(b->capsula().height(), 24.0);
        QCOMPARE(b->sizeHint().height(), 26);
    }

    void botaoSoAceitaCliqueNaCapsula()
    {
        BotaoOndrel b("Abrir", false);
        b.resize(b.sizeHint());
        b.show();
        QSignalSpy cliques(&b, &QAbstractButton::clicked);
        QTest::mouseClick(&b, Qt::LeftButton, {}, b.capsula().center().toPoint());
        QCOMPARE(cliques.size(), 1);
        // The widget's corner lies outside the rounded end of the capsule.
        QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(cliques.size(), 1);
    }

    // ---- Current theme ----
    void etiquetaSemCorUsaTextoSecEBorda()
    {
        EtiquetaDeEstado e("Parado");
        const Tema &t = TemaAtual::atual();
        QCOMPARE(e.corDoTexto(), t.textoSec);
        QCOMPARE(e.corDaBorda(), t.borda);
        TemaAtual::instancia()->definirTemaId("theme-ocean");
        QCOMPARE(e.corDaBorda(), Tema::porId("theme-ocean").borda); // follows, no copy kept
        EtiquetaDeEstado verde("No ar", Tema::padrao().verde, true);
        QCOMPARE(verde.corDoTexto(), Tema::padrao().verde);
        QCOMPARE(verde.corDaBorda(), Tema::padrao().verde);
    }

    void trocaDeTemaRedesenhaAJanela()
    {
        TemaAtual::instancia()->definirTemaId("theme-apple-light");
        QWidget janela;
        janela.resize(1040, 700);
        auto *s = new ModificadorSuperficie(Superficie::comum, 16, &janela);
        s->setGeometry(400, 300, 240, 100);
        QSignalSpy mudou(TemaAtual::instancia(), &TemaAtual::temaMudou);
        janelaOndrel(&janela);
        janela.show();
        QApplication::processEvents();

        const Tema &claro = Tema::porId("theme-apple-light");
        QCOMPARE(janela.palette().color(QPalette::Window), claro.pagina);
        QCOMPARE(QApplication::palette().color(QPalette::Window), claro.pagina);
        QVERIFY(janela.palette().color(QPalette::WindowText).lightness() < 80);
        const QImage antes = janela.grab().toImage();

        // The vignette: bottom corner, 627 points from the centre, under the
        // sheen's half: 0.06 × (627 − 200) / 700 of black over the page.
        auto esperadoNoCanto = [](const Tema &t) {
            const qreal d = std::hypot(520.0, 350.0);
            const qreal a = FundoDoTema::opacidadeVinheta(t) * (d - 200) / 700;
            return sobre(QColor::fromRgbF(0, 0, 0, a), t.pagina);
        };
        QVERIFY(distancia(antes.pixelColor(0, 699), esperadoNoCanto(claro)) <= 2);
        QVERIFY(distancia(antes.pixelColor(520, 450), claro.pagina) <= 1); // centre: no vignette
        const QColor superficieClara = antes.pixelColor(520, 350);

        TemaAtual::instancia()->definirTemaId("theme-titanium");
        QCOMPARE(mudou.size(), 1);
        QApplication::processEvents();
        const Tema &titanio = Tema::porId("theme-titanium");
        QCOMPARE(janela.palette().color(QPalette::Window), titanio.pagina);
        QVERIFY(janela.palette().color(QPalette::WindowText).lightness() > 180);
        const QImage depois = janela.grab().toImage();
        QCOMPARE(FundoDoTema::opacidadeVinheta(titanio), 0.28);
        QVERIFY(distancia(depois.pixelColor(0, 699), esperadoNoCanto(titanio)) <= 2);
        // The surface repainted with the new theme's colours.
        QVERIFY(distancia(depois.pixelColor(520, 350), superficieClara) > 60);
        QVERIFY(depois.pixelColor(520, 350).lightness() < 80);
    }
};

QV_TESTE_COM_GUI(TesteComponentes)
#include "tst_componentes.moc"
