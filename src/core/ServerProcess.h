#pragma once
// The local server as a child process: starting it (the shipped Node runtime
// or the person's own through "npm start"), the in-memory log of what it
// writes, and stopping it, our own child or a server adopted through its port.
#include <QObject>
#include <QPointer>
#include <QProcessEnvironment>
#include <QStringList>
#include <memory>
#include <optional>

class QProcess;

class ServerProcess : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool rodando READ rodando NOTIFY rodandoChanged)
    Q_PROPERTY(QStringList log READ log NOTIFY logChanged)
public:
    static constexpr int maxLinhasLog = 200;
    // Seconds between the polite stop and the forced one.
    static constexpr int esperaAntesDeForcar = 3;

    explicit ServerProcess(QObject *parent = nullptr);
    ~ServerProcess() override;

    bool rodando() const { return rodando_; }
    QStringList log() const { return log_; }

    void iniciar(const QString &pastaRepo);
    void parar();
    void pararPelaPorta(int porta);
    void adicionarLog(const QString &texto);

    static std::optional<qint32> pidEscutando(int porta);
    static std::optional<QString> comandoDe(qint32 pid);
    static std::optional<QString> rodarSincrono(const QString &executavel, const QStringList &argumentos);

    // The pid of our running child (leader of its own process group); 0 when none.
    qint64 pidAtual() const;

    // What iniciar runs: <recursos>/runtime/node "server.js" when that file is
    // executable, otherwise "npm start" through a login shell.
    struct Programa {
        QString executavel;
        QStringList argumentos;
        QProcessEnvironment ambiente;
        bool runtimeEmbutido = false;
    };
    static Programa programaParaIniciar(const QString &pastaRecursos);

    // The first valid pid in `lsof -t` output: one decimal signed 32-bit
    // number per line, white space trimmed, invalid lines skipped.
    static std::optional<qint32> primeiroPid(const QString &saida);

signals:
    void rodandoChanged();
    void logChanged();

private:
    struct Leitura;
    void ler(QProcess *p, const std::shared_ptr<Leitura> &leitura);
    void terminou(QProcess *p, const std::shared_ptr<Leitura> &leitura, int codigo);
    void definirRodando(bool valor);

    bool rodando_ = false;
    QStringList log_;
    QPointer<QProcess> processo_;
};
