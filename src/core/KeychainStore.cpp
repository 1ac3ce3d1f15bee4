#include "KeychainStore.h"

#include <QEventLoop>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>
#include <qt6keychain/keychain.h>

const QString KeychainStore::servico = QStringLiteral("app.quilvo.local") + QStringLiteral(".token");

namespace {

int prazoMs = 4000;
// The Secret Service item is keyed by service only; QtKeychain wants a key,
// so it gets the service text too and no separate account.
const QString chave = QStringLiteral("token");

struct Fim {
    bool terminou = false;
    QKeychain::Error erro = QKeychain::OtherError;
    QByteArray dados;
};

// Runs a job to its end or until the time bound, whichever comes first. The
// job deletes itself when it finishes, even after we stopped waiting.
Fim executar(QKeychain::Job *job, bool leitura)
{
    Fim fim;
    QEventLoop laco;
    QPointer<QKeychain::Job> guarda(job);
    QObject::connect(job, &QKeychain::Job::finished, &laco, [&fim, &laco, leitura](QKeychain::Job *j) {
        fim.terminou = true;
        fim.erro = j->error();
        if (leitura && j->error() == QKeychain::NoError)
            fim.dados = static_cast<QKeychain::ReadPasswordJob *>(j)->binaryData();
        laco.quit();
    });
    QTimer::singleShot(prazoMs, &laco, &QEventLoop::quit);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->start();
    if (!fim.terminou)
        laco.exec(QEventLoop::ExcludeUserInputEvents);
    if (!fim.terminou && guarda)
        QObject::disconnect(guarda, nullptr, &laco, nullptr);
    return fim;
}

} // namespace

KeychainStore::Leitura KeychainStore::lerDetalhado()
{
    auto *job = new QKeychain::ReadPasswordJob(servico);
    job->setKey(chave);
    const Fim fim = executar(job, true);
    Leitura l;
    if (!fim.terminou) {
        l.situacao = Situacao::semServico;
    } else if (fim.erro == QKeychain::NoError) {
        // Bytes that are not UTF-8 count as no token.
        QStringDecoder dec(QStringDecoder::Utf8);
        const QString t = dec(fim.dados);
        l.situacao = dec.hasError() ? Situacao::naoExiste : Situacao::achou;
        if (!dec.hasError())
            l.token = t;
    } else if (fim.erro == QKeychain::EntryNotFound) {
        l.situacao = Situacao::naoExiste;
    } else {
        l.situacao = Situacao::semServico;
    }
    return l;
}

std::optional<QString> KeychainStore::ler()
{
    const Leitura l = lerDetalhado();
    if (l.situacao == Situacao::achou)
        return l.token;
    return std::nullopt;
}

bool KeychainStore::apagarConfirmado()
{
    auto *job = new QKeychain::DeletePasswordJob(servico);
    job->setKey(chave);
    const Fim fim = executar(job, false);
    return fim.terminou && (fim.erro == QKeychain::NoError || fim.erro == QKeychain::EntryNotFound);
}

bool KeychainStore::salvarConfirmado(const QString &token)
{
    apagarConfirmado();
    auto *job = new QKeychain::WritePasswordJob(servico);
    job->setKey(chave);
    job->setBinaryData(token.toUtf8());
    const Fim fim = executar(job, false);
    return fim.terminou && fim.erro == QKeychain::NoError;
}

void KeychainStore::salvar(const QString &token) { salvarConfirmado(token); }

void KeychainStore::apagar() { apagarConfirmado(); }

void KeychainStore::definirPrazoMs(int ms) { prazoMs = ms; }
