#include "TokenStore.h"

#include "AjustesQuilvo.h"
#include "Ajustes.h"
#include "KeychainStore.h"
#include "Plataforma.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int tentativasLeitura = 5;
int pausaLeituraMs = 1000;

const QString chaveModo = QStringLiteral("tokenNoKeychain");

void esperar(int ms)
{
    QEventLoop laco;
    QTimer::singleShot(ms, &laco, &QEventLoop::quit);
    laco.exec(QEventLoop::ExcludeUserInputEvents);
}

// A protected read that tells "no item" from "no service": while the service
// is absent or locked it is asked again a few times before giving up.
KeychainStore::Leitura lerProtegido()
{
    KeychainStore::Leitura l = KeychainStore::lerDetalhado();
    for (int i = 1; i < tentativasLeitura && l.situacao == KeychainStore::Situacao::semServico; ++i) {
        esperar(pausaLeituraMs);
        l = KeychainStore::lerDetalhado();
    }
    return l;
}

} // namespace

bool TokenStore::modoProtegido()
{
    AjustesQuilvo s;
    return Ajustes::booleano(s, chaveModo).value_or(false);
}

void TokenStore::definirTentativasDeLeitura(int tentativas, int pausaMs)
{
    tentativasLeitura = qMax(1, tentativas);
    pausaLeituraMs = qMax(0, pausaMs);
}

QString TokenStore::ler()
{
    if (modoProtegido()) {
        const KeychainStore::Leitura l = lerProtegido();
        return l.situacao == KeychainStore::Situacao::achou ? l.token : QString();
    }

    QFile f(Plataforma::arquivoToken());
    if (f.open(QIODevice::ReadOnly)) {
        const QString t = QString::fromUtf8(f.readAll()).trimmed();
        if (!t.isEmpty())
            return t;
    }

    // A token left in the Secret Service while in file mode moves back to
    // the file. The item goes only once the file really holds the token.
    const KeychainStore::Leitura l = KeychainStore::lerDetalhado();
    if (l.situacao == KeychainStore::Situacao::achou && !l.token.isEmpty()) {
        if (gravarNoArquivo(l.token))
            KeychainStore::apagar();
        return l.token;
    }
    return QString();
}

void TokenStore::salvar(const QString &token)
{
    if (!modoProtegido()) {
        gravarNoArquivo(token);
        return;
    }
    if (!token.isEmpty())
        KeychainStore::salvar(token);
    else
        KeychainStore::apagar();
}

bool TokenStore::gravarNoArquivo(const QString &token)
{
    const QString alvo = Plataforma::arquivoToken();
    if (token.isEmpty()) {
        QFile::remove(alvo);
        return !QFileInfo::exists(alvo);
    }
    QDir().mkpath(QFileInfo(alvo).absolutePath());

    // mkstemp creates the staging file with mode 0600, so the token is never
    // readable by others, not even before the rename.
    QByteArray modelo = QFile::encodeName(alvo + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(modelo.data());
    if (fd < 0)
        return false;
    const QByteArray dados = token.toUtf8();
    bool ok = true;
    qsizetype escrito = 0;
    while (ok && escrito < dados.size()) {
        const ssize_t n = ::write(fd, dados.constData() + escrito, size_t(dados.size() - escrito));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            escrito += n;
    }
    ok = ok && ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(modelo.constData(), QFile::encodeName(alvo).constData()) == 0;
    if (!ok) {
        ::unlink(modelo.constData());
        return false;
    }
    ::chmod(QFile::encodeName(alvo).constData(), 0600);
    return true;
}

void TokenStore::definirProtegido(bool protegido, const QString &token)
{
    if (protegido == modoProtegido())
        return;
    const auto gravarModo = [protegido] {
        AjustesQuilvo s;
        s.setValue(chaveModo, protegido);
        s.sync();
    };
    // The mode flag follows the token only once the token is safe in its new
    // place: a missing or locked Secret Service, or a file that cannot be
    // written, leaves both the old copy and the old mode in place.
    if (!protegido) {
        if (!gravarNoArquivo(token))
            return;
        gravarModo();
        KeychainStore::apagar();
        return;
    }
    if (!token.isEmpty() && !KeychainStore::salvarConfirmado(token))
        return;
    gravarModo();
    QFile::remove(Plataforma::arquivoToken());
}
