#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the web shell's tests: fixed
// answers per path, a record of every request, and a mode that accepts
// connections and never answers (for time-outs).
#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class ServidorDeTeste : public QObject
{
public:
    struct Resposta {
        int status = 200;
        QByteArray corpo;
        QByteArray tipo = "text/plain; charset=utf-8";
        QList<QPair<QByteArray, QByteArray>> cabecalhos;
    };

    explicit ServidorDeTeste(QObject *parent = nullptr) : QObject(parent)
    {
        connect(&servidor_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = servidor_.nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { ler(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }

    bool ouvir(quint16 porta = 0) { return servidor_.listen(QHostAddress::LocalHost, porta); }
    quint16 porta() const { return servidor_.serverPort(); }
    QString base() const { return QStringLiteral("http://localhost:%1/").arg(porta()); }

    // The answer for a path (without query); unknown paths get 404.
    void definir(const QByteArray &caminho, Resposta r) { respostas_.insert(caminho, std::move(r)); }
    void definir(const QByteArray &caminho, int status, const QByteArray &corpo = {},
                 const QByteArray &tipo = "text/plain; charset=utf-8")
    {
        Resposta r;
        r.status = status;
        r.corpo = corpo;
        r.tipo = tipo;
        definir(caminho, r);
    }
    void silenciar(bool s) { silencioso_ = s; }

    // Every request line target ("/netinfo", "/api/admin/status?token=x").
    QList<QByteArray> pedidos;
    int contar(const QByteArray &caminho) const
    {
        int n = 0;
        for (const QByteArray &p : pedidos)
            if (p.split('?').first() == caminho)
                ++n;
        return n;
    }

private:
    void ler(QTcpSocket *s)
    {
        QByteArray &buf = buffers_[s];
        buf += s->readAll();
        const int fim = buf.indexOf("\r\n\r\n");
        if (fim < 0)
            return;
        const QByteArray linha = buf.left(buf.indexOf("\r\n"));
        buffers_.remove(s);
        const QList<QByteArray> partes = linha.split(' ');
        const QByteArray alvo = partes.value(1);
        pedidos.append(alvo);
        if (silencioso_)
            return;
        const QByteArray caminho = alvo.split('?').first();
        Resposta r;
        if (respostas_.contains(caminho))
            r = respostas_.value(caminho);
        else
            r = Resposta{404, "nada aqui", "text/plain", {}};
        QByteArray resp = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\n";
        resp += "Content-Type: " + r.tipo + "\r\n";
        resp += "Content-Length: " + QByteArray::number(r.corpo.size()) + "\r\n";
        for (const auto &c : r.cabecalhos)
            resp += c.first + ": " + c.second + "\r\n";
        resp += "Connection: close\r\n\r\n" + r.corpo;
        s->write(resp);
        s->disconnectFromHost();
    }

    QTcpServer servidor_;
    QHash<QByteArray, Resposta> respostas_;
    QHash<QTcpSocket *, QByteArray> buffers_;
    bool silencioso_ = false;
};
