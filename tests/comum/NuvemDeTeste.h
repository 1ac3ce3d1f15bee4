#pragma once
// The cloud stand-in (servicos/nuvem/server.js) as a child of a test: started
// on a free loopback port, steered through its /__controle/ endpoints with
// blocking calls, stopped when the object goes away.
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

class NuvemDeTeste {
public:
    // `fonte`: the folder packed as the server package; empty = the project's
    // stand-in local server (servicos/servidor-local).
    explicit NuvemDeTeste(QString fonte = {});
    ~NuvemDeTeste();
    NuvemDeTeste(const NuvemDeTeste &) = delete;
    NuvemDeTeste &operator=(const NuvemDeTeste &) = delete;

    // Starts node and waits (up to 10 s) for "ouvindo na porta N".
    bool iniciar(const QStringList &extras = {});
    // Ends the process: afterwards connections are refused.
    void parar();
    bool rodando() const;

    quint16 porta() const { return porta_; }
    QString url() const;                 // http://127.0.0.1:N
    // Points QUILVO_NUVEM_URL of this process at the stand-in.
    void apontarAmbiente() const;

    // POST /__controle/<nome> with a JSON body; the answered state, or an
    // empty object on failure.
    QJsonObject controlar(const QString &nome, const QJsonObject &corpo = {});
    // Requests seen on a public path since start or the last "zerar".
    int contagem(const QString &caminho);

    QString saida() const { return saida_; }   // what node printed (for failures)

private:
    QString fonte_;
    QProcess processo_;
    quint16 porta_ = 0;
    QString saida_;
};
