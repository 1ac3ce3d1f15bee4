#include "ServidorHttpDeTeste.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

QByteArray ServidorHttpDeTeste::Pedido::caminho() const
{
    const qsizetype q = alvo.indexOf('?');
    return q < 0 ? alvo : alvo.left(q);
}

QByteArray ServidorHttpDeTeste::Pedido::query() const
{
    const qsizetype q = alvo.indexOf('?');
    return q < 0 ? QByteArray() : alvo.mid(q + 1);
}

QJsonObject ServidorHttpDeTeste::Pedido::json() const
{
    return QJsonDocument::fromJson(corpo).object();
}

ServidorHttpDeTeste::ServidorHttpDeTeste(QObject *pai) : QObject(pai)
{
    servidor_.listen(QHostAddress::LocalHost, 0);
    connect(&servidor_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = servidor_.nextPendingConnection()) {
            s->setParent(this);
            connect(s, &QTcpSocket::readyRead, this, [this, s] { ler(s); });
            connect(s, &QTcpSocket::disconnected, this, [this, s] {
                buffers_.remove(s);
                s->deleteLater();
            });
        }
    });
}

QUrl ServidorHttpDeTeste::base() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(porta()));
}

void ServidorHttpDeTeste::ler(QTcpSocket *s)
{
    QByteArray &buf = buffers_[s];
    buf += s->readAll();
    const qsizetype fim = buf.indexOf("\r\n\r\n");
    if (fim < 0)
        return;

    Pedido p;
    const QList<QByteArray> linhas = buf.left(fim).split('\n');
    const QList<QByteArray> primeira = linhas.value(0).trimmed().split(' ');
    p.metodo = primeira.value(0);
    p.alvo = primeira.value(1);
    for (qsizetype i = 1; i < linhas.size(); ++i) {
        const qsizetype dp = linhas[i].indexOf(':');
        if (dp > 0)
            p.cabecalhos.insert(linhas[i].left(dp).trimmed().toLower(), linhas[i].mid(dp + 1).trimmed());
    }
    const qsizetype tamanho = p.cabecalhos.value("content-length", "0").toLongLong();
    if (buf.size() < fim + 4 + tamanho)
        return;   // body still on its way
    p.corpo = buf.mid(fim + 4, tamanho);
    buf.clear();
    pedidos_.append(p);

    Resposta r = tratador_ ? tratador_(p) : canned_.value(p.caminho(), Resposta{404, "{\"erro\":\"não encontrado\"}"});
    if (r.silencio)
        return;
    if (r.gotejarMs > 0) {
        s->write("HTTP/1.1 " + QByteArray::number(r.status) + " X\r\nContent-Length: 1000000\r\n\r\n");
        auto *t = new QTimer(s);
        connect(t, &QTimer::timeout, s, [s] { s->write("x"); });
        t->start(r.gotejarMs);
        return;
    }
    QByteArray saida = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\n";
    if (!r.tipo.isEmpty())
        saida += "Content-Type: " + r.tipo + "\r\n";
    saida += "Content-Length: " + QByteArray::number(r.corpo.size()) + "\r\nConnection: close\r\n\r\n" + r.corpo;
    s->write(saida);
    s->disconnectFromHost();
}
