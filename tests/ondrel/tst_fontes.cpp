// Font registration: only files whose extension is "ttf" in any case, and the
// committed files give the three families in the weights the components use.
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QtTest>

#include "Ambiente.h"
#include "OndrelFontes.h"
#include "Plataforma.h"

class TesteFontes : public QObject {
    Q_OBJECT
private slots:
    void registraSoTtfEmQualquerCaixa()
    {
        // Three real font files behind the extensions TTF, ttf and otf (the
        // otf is a TrueType file too, so only the filter can refuse it).
        const QString pasta = Ambiente::raiz() + "/recursos/Fontes";
        QVERIFY(QDir().mkpath(pasta));
        const QString origem = Ambiente::fonte("recursos/Fontes/");
        QVERIFY(QFile::copy(origem + "Inter-Regular.ttf", pasta + "/a.TTF"));
        QVERIFY(QFile::copy(origem + "BarlowCondensed-Bold.ttf", pasta + "/b.ttf"));
        QVERIFY(QFile::copy(origem + "JetBrainsMono-Regular.ttf", pasta + "/c.otf"));
        QVERIFY(QFile::copy(origem + "Inter-OFL.txt", pasta + "/d.txt"));
        QVERIFY(QDir().mkpath(pasta + "/pasta.ttf")); // a folder is not a font

        const QStringList antes = QFontDatabase::families();
        if (antes.contains("Inter") || antes.contains("Barlow Condensed"))
            QSKIP("Inter or Barlow Condensed is installed on this machine");

        // The app's entry point, reading <resources>/Fontes.
        qputenv("QUILVO_RECURSOS", (Ambiente::raiz() + "/recursos").toUtf8());
        OndrelFontes::registrar();
        qunsetenv("QUILVO_RECURSOS");
        QVERIFY(QFontDatabase::families().contains("Inter"));
        QVERIFY(QFontDatabase::families().contains("Barlow Condensed"));

        // The same folder again, telling which files registered.
        QStringList nomes;
        for (const QString &r : OndrelFontes::registrarPasta(pasta))
            nomes << QFileInfo(r).fileName();
        QCOMPARE(nomes, QStringList({"a.TTF", "b.ttf"}));
    }

    void pastaAusenteOuVaziaNaoFalha()
    {
        QVERIFY(OndrelFontes::registrarPasta(Ambiente::raiz() + "/nao-existe").isEmpty());
        QVERIFY(OndrelFontes::registrarPasta(QString()).isEmpty());
        qputenv("QUILVO_RECURSOS", (Ambiente::raiz() + "/nao-existe").toUtf8());
        OndrelFontes::registrar(); // silently nothing
        qunsetenv("QUILVO_RECURSOS");
    }

    void familiasEPesosDosArquivosDoProjeto_data()
    {
        QTest::addColumn<QString>("familia");
        QTest::addColumn<int>("peso");
        QTest::addColumn<QString>("estilo");
        for (const char *f : {"Inter", "Barlow Condensed", "JetBrains Mono"}) {
            QTest::addRow("%s regular", f) << f << int(QFont::Normal) << "Regular";
            QTest::addRow("%s medium", f) << f << int(QFont::Medium) << "Medium";
            QTest::addRow("%s semibold", f) << f << int(QFont::DemiBold) << "SemiBold";
            QTest::addRow("%s bold", f) << f << int(QFont::Bold) << "Bold";
        }
    }
    void familiasEPesosDosArquivosDoProjeto()
    {
        QFETCH(QString, familia);
        QFETCH(int, peso);
        QFETCH(QString, estilo);
        static const int registrados =
            int(OndrelFontes::registrarPasta(Plataforma::pastaRecursos() + "/Fontes").size());
        QCOMPARE(registrados, 12); // four weights of three families
        const QFont f = OndrelFontes::fonte(familia, QFont::Weight(peso), 12.5);
        const QFontInfo info(f);
        QCOMPARE(info.family(), familia);
        QCOMPARE(info.styleName(), estilo);
        QCOMPARE(info.weight(), peso);
        QVERIFY(std::abs(OndrelFontes::tamanhoDe(f) - 12.5) < 1e-6);
    }

    void osArquivosDoProjetoTrazemLicencas()
    {
        const QDir d(Ambiente::fonte("recursos/Fontes"));
        for (const char *l : {"Inter-OFL.txt", "BarlowCondensed-OFL.txt", "JetBrainsMono-OFL.txt"}) {
            QFile f(d.filePath(l));
            QVERIFY2(f.open(QIODevice::ReadOnly), l);
            QVERIFY(f.readAll().contains("SIL OPEN FONT LICENSE Version 1.1"));
        }
    }
};

int main(int argc, char **argv)
{
    Ambiente::isolar();
    QGuiApplication app(argc, argv);
    TesteFontes t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_fontes.moc"
