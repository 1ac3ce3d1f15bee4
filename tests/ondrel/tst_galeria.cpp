// Painting faults caught on the gallery's renders, in a dark, a light, a warm
// and the high-contrast theme: button fills and labels, disabled opacity,
// hover growth, tile bars, badge borders and the live dot's halo.
#include <QApplication>
#include <QtTest>
#include <memory>

#include "Ambiente.h"
#include "Galeria.h"
#include "Ondrel.h"

namespace {
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

const QStringList temasDoTeste{"theme-apple-dark", "theme-apple-light", "theme-papelao", "theme-acessibilidade"};

struct Render {
    std::unique_ptr<QWidget> quadro;
    QImage img;

    template <typename W = QWidget> W *w(const QString &nome) const
    {
        W *x = quadro->findChild<W *>(nome);
        if (!x)
            qWarning("missing %s", qPrintable(nome));
        return x;
    }
    QPoint em(QWidget *x, QPointF p) const { return x->mapTo(quadro.get(), p.toPoint()); }
    QColor cor(QWidget *x, QPointF p) const { return img.pixelColor(em(x, p)); }
};

Render renderizar(const QString &tema)
{
    TemaAtual::instancia()->definirTemaId(tema);
    Render r;
    r.quadro.reset(Galeria::montarQuadro());
    r.img = Galeria::renderizar(r.quadro.get());
    return r;
}
} // namespace

class TesteGaleria : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("ONDREL_REDUZIR_MOVIMENTO", "0");
        OndrelFontes::registrar();
    }

    void temas_data()
    {
        QTest::addColumn<QString>("tema");
        for (const QString &t : temasDoTeste)
            QTest::newRow(qPrintable(t)) << t;
    }

    void gravaOsPngs_data() { temas_data(); }
    void gravaOsPngs()
    {
        QFETCH(QString, tema);
        const QString pasta = Ambiente::raiz() + "/galeria";
        const QString caminho = Galeria::salvar(tema, pasta);
        QCOMPARE(caminho, pasta + "/" + tema + ".png");
        const QImage quadro(caminho);
        QVERIFY(quadro.width() >= 1000 && quadro.height() > 600);
        QCOMPARE(QImage(pasta + "/visao-geral-" + tema + ".png").size(), QSize(1040, 700));
        // The page colour shows at the middle of the left margin.
        QVERIFY(distancia(quadro.pixelColor(4, quadro.height() / 2), Tema::porId(tema).pagina) < 40);
    }

    void botoes_data() { temas_data(); }
    void botoes()
    {
        QFETCH(QString, tema);
        const Render r = renderizar(tema);
        const Tema &t = Tema::porId(tema);

        // Strong: filled with azul, label white.
        auto *forte = r.w<BotaoOndrel>("botao-forte-regular-normal");
        QVERIFY(forte);
        const QRectF c = forte->capsula();
        QVERIFY(distancia(r.cor(forte, {c.left() + 7, c.center().y()}), t.azul) <= 2);
        // Every label pixel lies between azul and white (antialiasing only
        // blends the white label into the fill).
        int brancos = 0, foraDaMistura = 0;
        const QColor az = t.azul;
        const int ca[3] = {az.red(), az.green(), az.blue()};
        const int canal = std::max_element(ca, ca + 3, [](int a, int b) { return 255 - a < 255 - b; }) - ca;
        for (int x = int(c.left() + 14); x < int(c.right() - 14); ++x)
            for (int y = int(c.top() + 6); y < int(c.bottom() - 6); ++y) {
                const QColor p = r.cor(forte, {qreal(x), qreal(y)});
                const int cp[3] = {p.red(), p.green(), p.blue()};
                if (cp[0] >= 235 && cp[1] >= 235 && cp[2] >= 235)
                    ++brancos;
                const qreal k = qreal(cp[canal] - ca[canal]) / (255 - ca[canal]);
                for (int i = 0; i < 3; ++i)
                    if (std::abs(ca[i] + k * (255 - ca[i]) - cp[i]) > 8) {
                        ++foraDaMistura;
                        break;
                    }
            }
        QVERIFY2(brancos > 40, qPrintable(QString::number(brancos)));
        QCOMPARE(foraDaMistura, 0);

        // Disabled: the whole button at 0.42 over what lies behind it.
        auto *desab = r.w<BotaoOndrel>("botao-forte-regular-desabilitado");
        QVERIFY(desab && !desab->isEnabled());
        const QRectF cd = desab->capsula();
        const QColor atras = r.cor(desab, {cd.left() - 3, cd.center().y()});
        const QColor esperado = sobre(comOpacidade(t.azul, 0.42), atras);
        QVERIFY2(distancia(r.cor(desab, {cd.left() + 7, cd.center().y()}), esperado) <= 3,
                 qPrintable(r.cor(desab, {cd.left() + 7, cd.center().y()}).name() + " vs " + esperado.name()));
        // ...and it did not grow under the pointer, while the enabled one did.
        QVERIFY(distancia(r.cor(desab, {cd.left() - 1, cd.center().y()}), atras) <= 2);
        auto *sobreB = r.w<BotaoOndrel>("botao-forte-regular-sobre");
        QVERIFY(sobreB && sobreB->sobre());
        const QRectF cs = sobreB->capsula();
        const QColor foraDaCapsula = r.cor(sobreB, {cs.left() - 1, cs.center().y()});
        QVERIFY(distancia(foraDaCapsula, t.azul) < distancia(atras, t.azul) / 2 + 2);

        // Plain: label in texto, no azul fill.
        auto *simples = r.w<BotaoOndrel>("botao-simples-regular-normal");
        const QRectF cp = simples->capsula();
        QVERIFY(distancia(r.cor(simples, {cp.left() + 7, cp.center().y()}), t.azul) > 40);
        int comoTexto = 0;
        const QColor texto = sobre(t.texto, r.cor(simples, {cp.left() + 7, cp.center().y()}));
        for (int x = int(cp.left() + 14); x < int(cp.right() - 14); ++x)
            for (int y = int(cp.top() + 6); y < int(cp.bottom() - 6); ++y)
                comoTexto += distancia(r.cor(simples, {qreal(x), qreal(y)}), texto) <= 12;
        QVERIFY(comoTexto > 40);
    }

    void barrasDosTiles_data() { temas_data(); }
    void barrasDosTiles()
    {
        QFETCH(QString, tema);
        const Render r = renderizar(tema);
        const Tema &t = Tema::porId(tema);
        // The bar's middle row, and a point of the tile away from the bar on
        // the same line of its diagonal gradient.
        auto amostra = [&](const char *nome, QColor *barra, QColor *fundo) {
            auto *p = r.w<Ptile>(nome);
            QVERIFY(p);
            const qreal l = p->tamanho();
            const qreal y = std::floor(l - 2.5), d = 0.3 * l; // a pixel row fully inside the bar
            *barra = r.cor(p, {l / 2, y});
            *fundo = r.cor(p, {l / 2 + d, y - d});
        };
        QColor barra, fundo;
        amostra("ptile-zz", &barra, &fundo); // nenhuma: no bar
        QVERIFY(distancia(barra, fundo) <= 2);
        amostra("ptile-qv", &barra, &fundo); // neutra: textoSec
        QVERIFY(distancia(barra, sobre(comOpacidade(t.textoSec, 0.9), fundo)) <= 4);
        amostra("ptile-cl-como-ca", &barra, &fundo); // categoria Ca beats sigla Cl
        QVERIFY(distancia(barra, sobre(comOpacidade(t.azul, 0.9), fundo)) <= 4);
        amostra("ptile-cl", &barra, &fundo);
        QVERIFY(distancia(barra, sobre(comOpacidade(t.vermelho, 0.9), fundo)) <= 4);
    }

    void bordasDasEtiquetas_data() { temas_data(); }
    void bordasDasEtiquetas()
    {
        QFETCH(QString, tema);
        const Render r = renderizar(tema);
        const Tema &t = Tema::porId(tema);
        auto *semCor = r.w("etiqueta-sem-cor");
        QVERIFY(distancia(r.cor(semCor, {semCor->width() / 2.0, 0}), sobre(t.borda, t.pagina)) <= 3);
        QVERIFY(distancia(r.cor(semCor, {12, semCor->height() / 2.0 + 3.5}), t.pagina) <= 40); // filled with pagina
        auto *verde = r.w("etiqueta-verde");
        QVERIFY(distancia(r.cor(verde, {verde->width() / 2.0, 0}), t.verde) <= 3);
        // Dashed: some of the top edge is border, some is the page.
        auto *tracejada = r.w("etiqueta-tracejada");
        int borda = 0, pagina = 0;
        for (int x = 12; x < tracejada->width() - 12; ++x) {
            const QColor p = r.cor(tracejada, {qreal(x), 0});
            borda += distancia(p, t.amarelo) <= 30;
            pagina += distancia(p, t.pagina) <= 30;
        }
        QVERIFY(borda > 5 && pagina > 5);
    }

    void haloDoPontoVivo()
    {
        const Tema &t = Tema::porId("theme-apple-light");
        auto halo = [&](bool reduzido) {
            qputenv("ONDREL_REDUZIR_MOVIMENTO", reduzido ? "1" : "0");
            const Render r = renderizar(t.id);
            auto *p = r.w<PontoVivo>("ponto-vivo-35");
            const QPointF c = QRectF(p->rect()).center();
            const QColor fundo = r.cor(p, c + QPointF(12, 0));
            const QColor anel = r.cor(p, c + QPointF(5.5, 0)); // pixel [18, 19]: inside 7.8
            qputenv("ONDREL_REDUZIR_MOVIMENTO", "0");
            return std::make_pair(anel, fundo);
        };
        // Phase 0.35: halo 1.56 × the dot, at 0.585 × 0.35 of the colour.
        const auto [anel, fundo] = halo(false);
        QVERIFY(distancia(anel, sobre(comOpacidade(t.verde, 0.35 * 0.585), fundo)) <= 4);
        const auto [semAnel, fundo2] = halo(true);
        QVERIFY(distancia(semAnel, fundo2) <= 2);
    }
};

QV_TESTE_COM_GUI(TesteGaleria)
#include "tst_galeria.moc"
