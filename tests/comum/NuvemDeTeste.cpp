#include "NuvemDeTeste.h"

#include "Ambiente.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

NuvemDeTeste::NuvemDeTeste(QString fonte) : fonte_(std::move(fonte)) {}

NuvemDeTeste::~NuvemDeTeste() { parar(); }

bool NuvemDeTeste::iniciar(const QStringList &extras)
{
    QStringList args{Ambiente::servicos(QStringLiteral("nuvem/server.js")), QStringLiteral("--porta"),
                     QStringLiteral("0"), QStringLiteral("--sair-com-stdin")};
    if (!fonte_.isEmpty())
        args << QStringLiteral("--fonte") << fonte_;
    args << extras;
    saida_.clear();
    porta_ = 0;
    processo_.setProcessChannelMode(QProcess::MergedChannels);
    processo_.start(QStringLiteral("node"), args);
    if (!processo_.waitForStarted(5000))
        return false;
    static const QRegularExpression re(QStringLiteral("ouvindo na porta (\\d+)"));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && processo_.state() == QProcess::Running) {
        processo_.waitForReadyRead(200);
        saida_ += QString::fromUtf8(processo_.readAll());
        const auto m = re.match(saida_);
        if (m.hasMatch()) {
            porta_ = m.captured(1).toUShort();
            return true;
        }
    }
    return false;
}

void NuvemDeTeste::parar()
{
    if (processo_.state() == QProcess::NotRunning)
        return;
    processo_.terminate();
    if (!processo_.waitForFinished(3000)) {
        processo_.kill();
        processo_.waitForFinished(2000);
    }
}

bool NuvemDeTeste::rodando() const { return processo_.state() == QProcess::Running; }

QString NuvemDeTeste::url() const { return QStringLiteral("http://127.0.0.1:%1").arg(porta_); }

void NuvemDeTeste::apontarAmbiente() const { qputenv("QUILVO_NUVEM_URL", url().toUtf8()); }

QJsonObject NuvemDeTeste::controlar(const QString &nome, const QJsonObject &corpo)
{
    static QNetworkAccessManager *nam = [] {
        auto *n = new QNetworkAccessManager(QCoreApplication::instance());
        n->setProxy(QNetworkProxy::NoProxy);
        return n;
    }();
    QNetworkRequest req(QUrl(url() + QStringLiteral("/__controle/") + nome));
    req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    req.setTransferTimeout(120000);   // "preparar" may pack a large package
    QNetworkReply *r = nam->post(req, QJsonDocument(corpo).toJson(QJsonDocument::Compact));
    QEventLoop laco;
    QObject::connect(r, &QNetworkReply::finished, &laco, &QEventLoop::quit);
    if (!r->isFinished())
        laco.exec();
    const QByteArray dados = r->readAll();
    const bool ok = r->error() == QNetworkReply::NoError;
    r->deleteLater();
    if (!ok)
        return {};
    return QJsonDocument::fromJson(dados).object();
}

int NuvemDeTeste::contagem(const QString &caminho)
{
    return controlar(QStringLiteral("estado")).value(QStringLiteral("contagem")).toObject().value(caminho).toInt();
}
