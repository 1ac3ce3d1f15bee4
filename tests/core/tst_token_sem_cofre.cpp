// Token storage when no Secret Service answers (as at a login where the
// keyring starts after us): nothing hangs and no token is lost.
#include "Ambiente.h"
#include "AjustesQuilvo.h"
#include "KeychainStore.h"
#include "Plataforma.h"
#include "TokenStore.h"

#include <QElapsedTimer>
#include <QFile>

class TesteTokenSemCofre : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TokenStore::definirTentativasDeLeitura(3, 100);
        KeychainStore::definirPrazoMs(1500);
    }

    void protegerSemServicoMantemArquivoEModo()
    {
        TokenStore::salvar(QStringLiteral("precioso"));
        QElapsedTimer t;
        t.start();
        TokenStore::definirProtegido(true, QStringLiteral("precioso"));
        QVERIFY(t.elapsed() < 10000);
        QVERIFY(!TokenStore::modoProtegido());
        QCOMPARE(TokenStore::ler(), QStringLiteral("precioso"));
    }

    void leituraProtegidaSemServicoTerminaVazia()
    {
        AjustesQuilvo s;
        s.setValue(QStringLiteral("tokenNoKeychain"), true);
        s.sync();
        QElapsedTimer t;
        t.start();
        QCOMPARE(TokenStore::ler(), QString());
        QVERIFY(t.elapsed() < 10000);
        // the file copy is never deleted because the service was absent
        TokenStore::salvar(QStringLiteral("x"));
        QVERIFY(QFile::exists(Plataforma::arquivoToken()));
    }
};

int main(int argc, char **argv)
{
    Ambiente::isolar();
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    QCoreApplication app(argc, argv);
    TesteTokenSemCofre t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_token_sem_cofre.moc"
