// Token storage against real files and the real Secret Service of the test
// session (scripts/test starts an unlocked gnome-keyring).
#include "Ambiente.h"
#include "AjustesQuilvo.h"
#include "KeychainStore.h"
#include "Plataforma.h"
#include "TokenStore.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

namespace {
QString arquivo() { return Plataforma::arquivoToken(); }

void escrever(const QString &conteudo, QFile::Permissions perm = QFile::ReadOwner | QFile::WriteOwner)
{
    QDir().mkpath(QFileInfo(arquivo()).absolutePath());
    QFile f(arquivo());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(conteudo.toUtf8());
    f.close();
    f.setPermissions(perm);
}

QByteArray conteudo()
{
    QFile f(arquivo());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int modo()
{
    struct stat st {};
    if (::stat(QFile::encodeName(arquivo()).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

void definirModo(bool protegido)
{
    AjustesQuilvo s;
    s.setValue(QStringLiteral("tokenNoKeychain"), protegido);
    s.sync();
}
} // namespace

class TesteTokenStore : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QFile::remove(arquivo());
        KeychainStore::apagar();
        AjustesQuilvo().clear();
    }

    void secretServiceResponde()
    {
        KeychainStore::salvar(QStringLiteral("sonda"));
        QCOMPARE(KeychainStore::ler(), std::optional<QString>(QStringLiteral("sonda")));
        KeychainStore::apagar();
        QCOMPARE(KeychainStore::ler(), std::nullopt);
    }

    void arquivoAparadoNasPontas()
    {
        escrever(QStringLiteral("  abc-123\n"));
        QCOMPARE(TokenStore::ler(), QStringLiteral("abc-123"));
    }

    void tokenEsquecidoNoKeychainVoltaParaOArquivo()
    {
        KeychainStore::salvar(QStringLiteral("do-cofre"));
        QCOMPARE(TokenStore::ler(), QStringLiteral("do-cofre"));
        QCOMPARE(conteudo(), QByteArray("do-cofre"));
        QCOMPARE(modo(), 0600);
        QCOMPARE(KeychainStore::ler(), std::nullopt);
    }

    void salvarVazioApagaEmCadaModo()
    {
        TokenStore::salvar(QStringLiteral("t1"));
        QCOMPARE(conteudo(), QByteArray("t1"));
        TokenStore::salvar(QString());
        QVERIFY(!QFile::exists(arquivo()));

        definirModo(true);
        TokenStore::salvar(QStringLiteral("t2"));
        QCOMPARE(KeychainStore::ler(), std::optional<QString>(QStringLiteral("t2")));
        QVERIFY(!QFile::exists(arquivo()));
        TokenStore::salvar(QString());
        QCOMPARE(KeychainStore::ler(), std::nullopt);
    }

    void trocaDeModoMoveOToken()
    {
        TokenStore::salvar(QStringLiteral("segredo"));
        TokenStore::definirProtegido(true, QStringLiteral("segredo"));
        QVERIFY(TokenStore::modoProtegido());
        QVERIFY(!QFile::exists(arquivo()));
        QCOMPARE(TokenStore::ler(), QStringLiteral("segredo"));

        TokenStore::definirProtegido(false, QStringLiteral("segredo"));
        QVERIFY(!TokenStore::modoProtegido());
        QCOMPARE(conteudo(), QByteArray("segredo"));
        QCOMPARE(modo(), 0600);
        QCOMPARE(KeychainStore::ler(), std::nullopt);
    }

    void trocaDeModoComTokenVazio()
    {
        escrever(QStringLiteral("velho"));
        TokenStore::definirProtegido(true, QString());
        QVERIFY(!QFile::exists(arquivo()));
        QCOMPARE(KeychainStore::ler(), std::nullopt);
        TokenStore::definirProtegido(false, QString());
        QVERIFY(!QFile::exists(arquivo()));
    }

    void permissoesLargasFicamPrivadasEStagingSome()
    {
        escrever(QStringLiteral("antigo"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        QCOMPARE(modo(), 0644);
        TokenStore::salvar(QStringLiteral("novo"));
        QCOMPARE(modo(), 0600);
        QCOMPARE(conteudo(), QByteArray("novo"));
        // nothing but the token file is left next to it
        const QStringList sobras = QDir(QFileInfo(arquivo()).absolutePath()).entryList(QDir::Files);
        QCOMPARE(sobras, QStringList{QStringLiteral("token")});
    }
};

QV_TESTE_SEM_GUI(TesteTokenStore)
#include "tst_token_store.moc"
