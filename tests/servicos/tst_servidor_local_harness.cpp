// The test harness for the stand-in local server: it copies the package,
// starts it, reaches it and stops it cleanly.
#include "Ambiente.h"
#include "ServidorLocal.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QtTest>

class TstServidorLocalHarness : public QObject
{
    Q_OBJECT

private slots:
    void sobeRespondeEPara()
    {
        ServidorLocal s;
        QVERIFY(s.iniciar());
        QVERIFY(s.porta() > 0);
        QVERIFY(s.pasta() != ServidorLocal::pacoteFonte());
        QVERIFY(QFile::exists(QDir(s.pasta()).filePath(QStringLiteral("server.js"))));

        const auto netinfo = s.requisitar("GET", QStringLiteral("/netinfo"));
        QCOMPARE(netinfo.status, 200);
        QVERIFY(netinfo.json().contains(QStringLiteral("build")));

        const auto status = s.requisitar("GET", QStringLiteral("/api/admin/status?token=") + ServidorLocal::tokenDemo());
        QCOMPARE(status.status, 200);
        QCOMPARE(status.json().value(QStringLiteral("build")).toString(), QStringLiteral("40"));

        // The control channel reaches the same process.
        QCOMPARE(s.controle(QStringLiteral("status"), {{QStringLiteral("build"), QStringLiteral("41")}})
                     .value(QStringLiteral("ok")).toBool(), true);
        QCOMPARE(s.controleGet(QStringLiteral("estado")).value(QStringLiteral("pid")).toInteger(), s.pid());
        QCOMPARE(s.requisitar("GET", QStringLiteral("/netinfo")).json().value(QStringLiteral("build")).toString(),
                 QStringLiteral("41"));

        QCOMPARE(s.parar(), 0);
        QVERIFY(!s.rodando());
        QCOMPARE(s.requisitar("GET", QStringLiteral("/netinfo"), {}, 1000).status, 0);
    }

    void reiniciaNaMesmaPastaEPorta()
    {
        ServidorLocal s;
        QVERIFY(s.iniciar());
        const quint16 porta = s.porta();
        const QString pasta = s.pasta();
        QCOMPARE(s.requisitar("POST", QStringLiteral("/api/local/tema?token=") + ServidorLocal::tokenDemo(),
                              R"({"tema":"noite"})").status, 200);
        QCOMPARE(s.parar(), 0);
        QVERIFY(s.iniciar());
        QCOMPARE(s.porta(), porta);
        QCOMPARE(s.pasta(), pasta);
        QCOMPARE(s.requisitar("GET", QStringLiteral("/api/admin/status?token=") + ServidorLocal::tokenDemo())
                     .json().value(QStringLiteral("tema")).toString(), QStringLiteral("noite"));
    }

    void pastaDadaPortaFixaESemEsperar()
    {
        QTemporaryDir temp;
        const QString pasta = temp.filePath(QStringLiteral("servidor"));
        QVERIFY(ServidorLocal::copiarPacote(pasta));
        const quint16 porta = Ambiente::portaLivre();

        ServidorLocal s;
        ServidorLocal::Opcoes o;
        o.pasta = pasta;
        o.porta = porta;
        o.esperarOuvir = false;
        o.argumentos = {QStringLiteral("--atraso-inicio"), QStringLiteral("300")};
        QVERIFY(s.iniciar(o));
        QCOMPARE(s.porta(), porta);
        QVERIFY(s.esperarOuvindo(5000));
        QCOMPARE(s.requisitar("GET", QStringLiteral("/netinfo")).status, 200);
        QCOMPARE(s.pasta(), pasta);
        QVERIFY(QFile::exists(pasta + QStringLiteral("/data/quilvo.log")));
    }

    void saidaDeCrash()
    {
        ServidorLocal s;
        QVERIFY(s.iniciar());
        s.controle(QStringLiteral("cair"), {{QStringLiteral("codigo"), 7}});
        QCOMPARE(s.esperarFim(5000), 7);
    }
};

QV_TESTE_SEM_GUI(TstServidorLocalHarness)
#include "tst_servidor_local_harness.moc"
