// The theme catalogue: its size and order, the exact colour components, the
// lookup and its fallbacks.
#include <QtTest>
#include <cmath>

#include "Ambiente.h"
#include "Tema.h"
#include "TemasCatalogo.h"

class TesteTemas : public QObject {
    Q_OBJECT
private slots:
    void catalogoTemDezesseteTemasEDoisClaros()
    {
        const QList<Tema> &todos = Tema::todos();
        QCOMPARE(todos.size(), 17);
        QStringList claros, ids;
        for (const Tema &t : todos) {
            ids << t.id;
            if (!t.escuro)
                claros << t.id;
        }
        QCOMPARE(claros, QStringList({"theme-apple-light", "theme-acessibilidade"}));
        QCOMPARE(ids.removeDuplicates(), 0);
        QCOMPARE(todos.first().id, QStringLiteral("theme-apple-dark"));
        QCOMPARE(todos.last().id, QStringLiteral("theme-acessibilidade"));
        QCOMPARE(&Tema::todos(), &todos); // built once
    }

    // Components are the 8-bit value / 255 rounded to four places, not the
    // raw fraction; opacities as written.
    void componentesExatos_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("papel");
        QTest::addColumn<double>("r");
        QTest::addColumn<double>("g");
        QTest::addColumn<double>("b");
        QTest::addColumn<double>("a");
        QTest::newRow("1 painel") << "theme-apple-dark" << "painel" << 0.1098 << 0.1098 << 0.1176 << 0.75;
        QTest::newRow("1 textoSec") << "theme-apple-dark" << "textoSec" << 0.9216 << 0.9216 << 0.9608 << 0.6;
        QTest::newRow("2 azul") << "theme-apple-light" << "azul" << 0.0 << 0.4784 << 1.0 << 1.0;
        QTest::newRow("11 laranja") << "theme-brasil" << "laranja" << 1.0 << 0.702 << 0.0 << 1.0;
        QTest::newRow("16 painel") << "theme-papelao" << "painel" << 0.9804 << 0.949 << 0.8235 << 0.97;
        QTest::newRow("17 borda") << "theme-acessibilidade" << "borda" << 0.1059 << 0.0941 << 0.0667 << 0.26;
    }
    void componentesExatos()
    {
        QFETCH(QString, id);
        QFETCH(QString, papel);
        QFETCH(double, r);
        QFETCH(double, g);
        QFETCH(double, b);
        QFETCH(double, a);
        const Tema &t = Tema::porId(id);
        QCOMPARE(t.id, id);
        const CoresExatas &c = t.exatas;
        const Cor cor = papel == "painel" ? c.painel
                        : papel == "textoSec" ? c.textoSec
                        : papel == "azul" ? c.azul
                        : papel == "laranja" ? c.laranja
                                             : c.borda;
        QCOMPARE(cor.r, r);
        QCOMPARE(cor.g, g);
        QCOMPARE(cor.b, b);
        QCOMPARE(cor.a, a);
    }

    void painelDoPrimeiroTemaNaoEhOValorCru()
    {
        const double r = Tema::padrao().exatas.painel.r;
        QCOMPARE(r, 0.1098);
        QVERIFY(r != 28.0 / 255.0);
        // The QColor view of it is as close as 16 bits allow.
        QVERIFY(std::abs(Tema::padrao().painel.redF() - 0.1098) < 1e-4);
        QCOMPARE(Tema::padrao().painel.alphaF(), 0.75f);
    }

    void todoComponenteTemQuatroCasas()
    {
        for (const Tema &t : Tema::todos()) {
            const CoresExatas &c = t.exatas;
            for (const Cor &x : {c.pagina, c.painel, c.texto, c.textoSec, c.borda, c.azul, c.verde, c.amarelo,
                                 c.vermelho, c.laranja})
                for (double v : {x.r, x.g, x.b}) {
                    QVERIFY2(v >= 0 && v <= 1, qPrintable(t.id));
                    QVERIFY2(std::abs(v * 10000 - std::round(v * 10000)) < 1e-6, qPrintable(t.id));
                }
        }
    }

    void busca_data()
    {
        QTest::addColumn<QString>("pedido");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("nome");
        QTest::addColumn<bool>("conhecido");
        QTest::newRow("acessibilidade") << "theme-acessibilidade" << "theme-acessibilidade" << "Antártida" << true;
        QTest::newRow("summer é Solar") << "theme-summer-light" << "theme-summer-light" << "Solar" << true;
        QTest::newRow("tapete vermelho é China") << "theme-tapete-vermelho" << "theme-tapete-vermelho" << "China"
                                                  << true;
        QTest::newRow("maiúsculas") << "THEME-APPLE-LIGHT" << "theme-apple-dark" << "Escuro" << false;
        QTest::newRow("vazio") << "" << "theme-apple-dark" << "Escuro" << false;
        QTest::newRow("de versão futura") << "theme-aurora" << "theme-apple-dark" << "Escuro" << false;
        QTest::newRow("com espaço") << "theme-ocean " << "theme-apple-dark" << "Escuro" << false;
    }
    void busca()
    {
        QFETCH(QString, pedido);
        QFETCH(QString, id);
        QFETCH(QString, nome);
        QFETCH(bool, conhecido);
        const Tema &t = Tema::porId(pedido);
        QCOMPARE(t.id, id);
        QCOMPARE(t.nome, nome);
        QCOMPARE(TemasCatalogo::contem(pedido), conhecido);
    }

    void acessibilidadeEhClaro() { QVERIFY(!Tema::porId("theme-acessibilidade").escuro); }

    void igualdadeCampoACampo()
    {
        Tema t = Tema::porId("theme-cinema");
        QVERIFY(t == Tema::porId("theme-cinema"));
        t.exatas.borda.a = 0.1;
        QVERIFY(!(t == Tema::porId("theme-cinema")));
        QVERIFY(!(Tema::porId("theme-atlantic") == Tema::porId("theme-brasil")));
    }
};

QV_TESTE_SEM_GUI(TesteTemas)
#include "tst_temas.moc"
