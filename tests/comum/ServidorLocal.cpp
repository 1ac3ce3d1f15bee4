#include "ServidorLocal.h"

#include "Ambiente.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>

namespace {

QString executavelNode()
{
    const QString achado = QStandardPaths::findExecutable(QStringLiteral("node"));
    return achado.isEmpty() ? QStringLiteral("node") : achado;
}

bool ignorarNaCopia(const QString &relativo)
{
    return relativo == QLatin1String("data/quilvo.log") || relativo.endsWith(QLatin1String(".tmp"))
        || relativo.contains(QLatin1String(".tmp-"));
}

} // namespace

ServidorLocal::~ServidorLocal()
{
    parar(3000);
}

QString ServidorLocal::pacoteFonte()
{
    return Ambiente::servicos(QStringLiteral("servidor-local"));
}

bool ServidorLocal::copiarPacote(const QString &destino, const QString &origem)
{
    QDir raiz(origem);
    if (!raiz.exists() || !QDir().mkpath(destino))
        return false;
    QDirIterator it(origem, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString caminho = it.next();
        const QString relativo = raiz.relativeFilePath(caminho);
        if (ignorarNaCopia(relativo))
            continue;
        const QString alvo = QDir(destino).filePath(relativo);
        const QFileInfo info(caminho);
        if (info.isDir()) {
            if (!QDir().mkpath(alvo))
                return false;
        } else {
            QDir().mkpath(QFileInfo(alvo).absolutePath());
            QFile::remove(alvo);
            if (!QFile::copy(caminho, alvo))
                return false;
            QFile::setPermissions(alvo, info.permissions() | QFileDevice::WriteOwner);
        }
    }
    return true;
}

bool ServidorLocal::iniciar()
{
    return iniciar(Opcoes{});
}

bool ServidorLocal::iniciar(const Opcoes &opcoes)
{
    if (rodando())
        parar();

    if (!opcoes.pasta.isEmpty()) {
        m_pasta = opcoes.pasta;
    } else if (m_pasta.isEmpty() || !m_temp) {
        m_temp = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/qv-servidor-XXXXXX"));
        m_pasta = m_temp->filePath(QStringLiteral("servidor"));
        if (!copiarPacote(m_pasta)) {
            qWarning("ServidorLocal: não consegui copiar o pacote para %s", qPrintable(m_pasta));
            return false;
        }
    }

    if (opcoes.porta != 0)
        m_porta = opcoes.porta;
    else if (m_porta == 0)
        m_porta = Ambiente::portaLivre();

    m_processo = std::make_unique<QProcess>();
    m_processo->setWorkingDirectory(m_pasta);
    m_processo->setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("PORTA"));
    env.remove(QStringLiteral("ATRASO_INICIO"));
    for (auto it = opcoes.ambiente.cbegin(); it != opcoes.ambiente.cend(); ++it)
        env.insert(it.key(), it.value());
    m_processo->setProcessEnvironment(env);
    m_saida.clear();
    m_ouvindo = false;
    QObject::connect(m_processo.get(), &QProcess::readyReadStandardOutput, m_processo.get(), [this] {
        const QString novo = QString::fromUtf8(m_processo->readAllStandardOutput());
        m_saida += novo;
        static const QRegularExpression ouvindo(QStringLiteral("ouvindo na porta (\\d+)"));
        if (!m_ouvindo) {
            const auto m = ouvindo.match(m_saida);
            if (m.hasMatch()) {
                m_ouvindo = true;
                m_porta = m.captured(1).toUShort();
            }
        }
    });

    QStringList args{QStringLiteral("server.js"), QStringLiteral("--porta"), QString::number(m_porta)};
    if (!opcoes.host.isEmpty())
        args << QStringLiteral("--host") << opcoes.host;
    args << opcoes.argumentos;
    m_processo->start(executavelNode(), args);
    if (!m_processo->waitForStarted(5000)) {
        qWarning("ServidorLocal: node não iniciou: %s", qPrintable(m_processo->errorString()));
        return false;
    }
    if (!opcoes.esperarOuvir)
        return true;
    if (!esperarOuvindo(opcoes.esperaMs)) {
        qWarning("ServidorLocal: o servidor não disse que está ouvindo. Saída:\n%s", qPrintable(m_saida));
        return false;
    }
    return true;
}

bool ServidorLocal::esperarOuvindo(int ms)
{
    if (!m_processo)
        return false;
    if (m_ouvindo)
        return true;
    QEventLoop laco;
    QTimer prazo;
    prazo.setSingleShot(true);
    QObject::connect(&prazo, &QTimer::timeout, &laco, &QEventLoop::quit);
    QObject::connect(m_processo.get(), &QProcess::readyReadStandardOutput, &laco, [&] {
        if (m_ouvindo)
            laco.quit();
    }, Qt::QueuedConnection);
    QObject::connect(m_processo.get(), &QProcess::finished, &laco, &QEventLoop::quit);
    prazo.start(ms);
    if (rodando() && !m_ouvindo)
        laco.exec();
    return m_ouvindo;
}

int ServidorLocal::esperarFim(int ms)
{
    if (!m_processo)
        return -1;
    if (m_processo->state() != QProcess::NotRunning) {
        QEventLoop laco;
        QTimer prazo;
        prazo.setSingleShot(true);
        QObject::connect(&prazo, &QTimer::timeout, &laco, &QEventLoop::quit);
        QObject::connect(m_processo.get(), &QProcess::finished, &laco, &QEventLoop::quit);
        prazo.start(ms);
        laco.exec();
    }
    if (m_processo->state() != QProcess::NotRunning)
        return -1;
    m_saida += QString::fromUtf8(m_processo->readAllStandardOutput());
    return m_processo->exitStatus() == QProcess::NormalExit ? m_processo->exitCode() : -1;
}

int ServidorLocal::parar(int ms)
{
    if (!m_processo)
        return -1;
    if (m_processo->state() == QProcess::NotRunning)
        return m_processo->exitStatus() == QProcess::NormalExit ? m_processo->exitCode() : -1;
    m_processo->terminate(); // SIGTERM
    const int codigo = esperarFim(ms);
    if (m_processo->state() != QProcess::NotRunning) {
        m_processo->kill();
        m_processo->waitForFinished(2000);
        return -1;
    }
    return codigo;
}

bool ServidorLocal::rodando() const
{
    return m_processo && m_processo->state() != QProcess::NotRunning;
}

qint64 ServidorLocal::pid() const
{
    return m_processo ? m_processo->processId() : 0;
}

QUrl ServidorLocal::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_porta));
}

QJsonObject ServidorLocal::Resposta::json() const
{
    return QJsonDocument::fromJson(corpo).object();
}

ServidorLocal::Resposta ServidorLocal::requisitar(const QByteArray &metodo, const QString &caminhoEQuery,
                                                  const QByteArray &corpo, int ms)
{
    Resposta r;
    QNetworkAccessManager rede;
    QNetworkRequest pedido(QUrl(urlTexto() + caminhoEQuery));
    pedido.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (!corpo.isEmpty() || metodo == "POST")
        pedido.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    QNetworkReply *resposta = rede.sendCustomRequest(pedido, metodo, corpo);
    QEventLoop laco;
    QTimer prazo;
    prazo.setSingleShot(true);
    QObject::connect(&prazo, &QTimer::timeout, resposta, &QNetworkReply::abort);
    QObject::connect(resposta, &QNetworkReply::finished, &laco, &QEventLoop::quit);
    prazo.start(ms);
    if (!resposta->isFinished())
        laco.exec();
    r.status = resposta->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    r.corpo = resposta->readAll();
    r.tipo = resposta->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    delete resposta;
    return r;
}

QJsonObject ServidorLocal::controle(const QString &caminho, const QJsonObject &corpo)
{
    return requisitar("POST", QStringLiteral("/__controle/") + caminho,
                      QJsonDocument(corpo).toJson(QJsonDocument::Compact))
        .json();
}

QJsonObject ServidorLocal::controleGet(const QString &caminho)
{
    return requisitar("GET", QStringLiteral("/__controle/") + caminho).json();
}
