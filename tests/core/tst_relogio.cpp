#include "Ambiente.h"
#include "Relogio.h"
#include "Plataforma.h"

class TesteRelogio : public QObject {
    Q_OBJECT
private slots:
    void avancaSemDormir()
    {
        const QDateTime antes = Relogio::agora();
        Relogio::avancar(std::chrono::seconds(31));
        QVERIFY(antes.msecsTo(Relogio::agora()) >= 31000);
        Relogio::zerar();
        QVERIFY(antes.msecsTo(Relogio::agora()) < 1000);
    }
    void pastasIsoladas()
    {
        QVERIFY(Plataforma::arquivoToken().startsWith(Ambiente::raiz()));
        QCOMPARE(Plataforma::arquivoToken(), Ambiente::raiz() + "/data/VarkeloLocal/token");
    }
};

QV_TESTE_SEM_GUI(TesteRelogio)
#include "tst_relogio.moc"
