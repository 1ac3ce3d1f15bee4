#pragma once
// A tiny HTTP/1.1 server on 127.0.0.1 for tests: answers canned responses per
// path (or through a handler) and records every request it read, with its
// raw request line, headers and body. One request per connection.
#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <functional>

class ServidorHttpDeTeste : public QObject {
    Q_OBJECT
public:
    struct Pedido {
        QByteArray metodo;
        QByteArray alvo;                          // raw target: path and query, still encoded
        QHash<QByteArray, QByteArray> cabecalhos; // names in lower case
        QByteArray corpo;

        QByteArray caminho() const;               // target without the query
        QByteArray query() const;                 // raw query, without '?'
        QJsonObject json() const;                 // the body as a JSON object
    };
    struct Resposta {
        int status = 200;
        QByteArray corpo;
        QByteArray tipo = "application/json";
        bool silencio = false;   // accept, read, and never answer
        int gotejarMs = 0;       // > 0: send the head, then one body byte per interval, forever
    };
    using Tratador = std::function<Resposta(const Pedido &)>;

    explicit ServidorHttpDeTeste(QObject *pai = nullptr);

    quint16 porta() const { return servidor_.serverPort(); }
    QUrl base() const;                            // http://127.0.0.1:<porta>

    // Canned answer for a path (target without query). Unknown paths get 404.
    void responder(const QByteArray &caminho, Resposta r) { canned_.insert(caminho, std::move(r)); }
    void responder(const QByteArray &caminho, int status, const QByteArray &corpo)
    {
        responder(caminho, Resposta{status, corpo});
    }
    // Handler consulted first; overrides the canned answers when set.
    void aoReceber(Tratador t) { tratador_ = std::move(t); }

    const QList<Pedido> &pedidos() const { return pedidos_; }
    Pedido ultimo() const { return pedidos_.isEmpty() ? Pedido{} : pedidos_.last(); }

private:
    void ler(QTcpSocket *s);

    QTcpServer servidor_;
    QHash<QByteArray, Resposta> canned_;
    Tratador tratador_;
    QList<Pedido> pedidos_;
    QHash<QTcpSocket *, QByteArray> buffers_;
};
