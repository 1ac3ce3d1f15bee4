#pragma once
// Runs the stand-in local server (servicos/servidor-local) as a child process
// for tests: a fresh copy of the package per instance, a free port on
// 127.0.0.1, and synchronous helpers for the "/__controle/" channel.
//
//   ServidorLocal s;
//   QVERIFY(s.iniciar());
//   APIClient api(s.url());
//   s.controle("status", {{"ocioso", false}});
//   ...
//   s.parar();            // or let the destructor do it
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class ServidorLocal
{
public:
    struct Opcoes {
        QStringList argumentos;          // extra arguments after the defaults
        quint16 porta = 0;               // 0: a free port is picked
        QString pasta;                   // empty: copy the package into a temp folder
        QString host = QStringLiteral("127.0.0.1");
        bool esperarOuvir = true;        // wait for "ouvindo na porta N"
        int esperaMs = 10000;            // bound of that wait
        QMap<QString, QString> ambiente; // extra environment variables
    };

    ServidorLocal() = default;
    ~ServidorLocal();
    ServidorLocal(const ServidorLocal &) = delete;
    ServidorLocal &operator=(const ServidorLocal &) = delete;

    // Starts the server; true once it listens (or at once when esperarOuvir
    // is false and the process started). Calling it again restarts in the
    // same folder (data/ kept), on the same port unless opcoes name another.
    bool iniciar(const Opcoes &opcoes);
    bool iniciar();
    // Waits (event loop, bounded) for the "ouvindo na porta" line.
    bool esperarOuvindo(int ms = 10000);
    // SIGTERM, then waits up to `ms`; SIGKILL if it is still alive. Returns
    // the exit code, or -1 when it had to be killed or never ran.
    int parar(int ms = 5000);
    // Waits for the process to end by itself (after a crash command, say).
    // Returns the exit code, or -1 on time-out.
    int esperarFim(int ms = 5000);

    bool rodando() const;
    qint64 pid() const;
    quint16 porta() const { return m_porta; }
    QUrl url() const;                  // http://127.0.0.1:<porta>
    QString urlTexto() const { return url().toString(); }
    QString pasta() const { return m_pasta; } // the package folder in use
    QString saida() const { return m_saida; } // everything printed so far
    QProcess *processo() { return m_processo.get(); }

    static QString tokenDemo() { return QStringLiteral("token-demo-gestao"); } // global admin
    static QString tokenLimitado() { return QStringLiteral("token-demo-set"); } // no admin rights
    static QString tokenNucleo() { return QStringLiteral("token-demo-nucleo"); } // admin of one núcleo
    // Source folder of the package.
    static QString pacoteFonte();
    // Copies the package (without its diary and temporary files) into
    // `destino`, creating it. For tests that prepare a managed folder.
    static bool copiarPacote(const QString &destino, const QString &origem = pacoteFonte());

    // Synchronous POST of `corpo` to /__controle/<caminho>; the answer as a
    // JSON object (empty when the server did not answer with one).
    QJsonObject controle(const QString &caminho, const QJsonObject &corpo = {});
    // Synchronous GET of /__controle/<caminho>.
    QJsonObject controleGet(const QString &caminho);
    // Synchronous request to any path; for tests that need the raw answer.
    struct Resposta {
        int status = 0;          // 0: no HTTP answer
        QByteArray corpo;
        QByteArray tipo;         // Content-Type
        QJsonObject json() const;
    };
    Resposta requisitar(const QByteArray &metodo, const QString &caminhoEQuery,
                        const QByteArray &corpo = {}, int ms = 5000);

private:
    std::unique_ptr<QTemporaryDir> m_temp;
    std::unique_ptr<QProcess> m_processo;
    QString m_pasta;
    QString m_saida;
    quint16 m_porta = 0;
    bool m_ouvindo = false;
};
