// Prints: launch to opening screen painted and to page loaded (median of
// runs, against the stand-in web app), and the share of one core the whole
// process tree uses for 10 s while the ring glows and while idle.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

// Static files of the web app on 127.0.0.1.
class Servidor : public QTcpServer
{
public:
    Servidor()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [s] {
                    const QByteArray req = s->readAll();
                    QByteArray caminho = req.split(' ').value(1).split('?').first();
                    if (caminho == "/")
                        caminho = "/index.html";
                    QFile f(QStringLiteral(QV_WEB_DIR) + QString::fromUtf8(caminho));
                    QByteArray corpo, tipo = "text/plain";
                    int status = 404;
                    if (!caminho.contains("..") && f.open(QIODevice::ReadOnly)) {
                        corpo = f.readAll();
                        status = 200;
                        tipo = caminho.endsWith(".html") ? "text/html; charset=utf-8"
                               : caminho.endsWith(".js") ? "text/javascript" : caminho.endsWith(".css") ? "text/css" : tipo;
                    }
                    s->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: " + tipo
                             + "\r\nContent-Length: " + QByteArray::number(corpo.size()) + "\r\nConnection: close\r\n\r\n" + corpo);
                    s->disconnectFromHost();
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        listen(QHostAddress::LocalHost, 0);
    }
};

QProcessEnvironment ambiente(const QString &raiz, quint16 porta, const QString &js = {})
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char *sub : {"home", "config", "state", "data", "cache"})
        QDir(raiz).mkpath(QString::fromLatin1(sub));
    e.insert("HOME", raiz + "/home");
    e.insert("XDG_CONFIG_HOME", raiz + "/config");
    e.insert("XDG_STATE_HOME", raiz + "/state");
    e.insert("XDG_DATA_HOME", raiz + "/data");
    e.insert("XDG_CACHE_HOME", raiz + "/cache");
    e.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    e.insert("QT_QPA_PLATFORM", "xcb");
    e.insert("VARKELO_MEDIR", "1");
    e.insert("VARKELO_BANCADA_URL", QStringLiteral("http://127.0.0.1:%1/").arg(porta));
    e.insert("VARKELO_BANCADA_TOKEN", "bench");
    e.insert("VARKELO_ACESSIBILIDADE", "");
    if (!js.isEmpty()) {
        e.insert("VARKELO_BANCADA_ESPERA", "0.5");
        e.insert("VARKELO_BANCADA_JS", js);
    }
    return e;
}

// Ticks of CPU used by `pid` and all its descendants.
long long ticksDaArvore(qint64 pid)
{
    long long total = 0;
    QList<qint64> fila{pid};
    const QStringList procs = QDir("/proc").entryList(QDir::Dirs);
    while (!fila.isEmpty()) {
        const qint64 p = fila.takeFirst();
        QFile f(QStringLiteral("/proc/%1/stat").arg(p));
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray s = f.readAll();
            const QList<QByteArray> campos = s.mid(s.lastIndexOf(')') + 2).split(' ');
            total += campos.value(11).toLongLong() + campos.value(12).toLongLong();
        }
        for (const QString &d : procs) {
            bool ok = false;
            const qint64 filho = d.toLongLong(&ok);
            if (!ok)
                continue;
            QFile st(QStringLiteral("/proc/%1/stat").arg(filho));
            if (!st.open(QIODevice::ReadOnly))
                continue;
            const QByteArray s = st.readAll();
            if (s.mid(s.lastIndexOf(')') + 2).split(' ').value(1).toLongLong() == p)
                fila << filho;
        }
    }
    return total;
}

// Runs varkelo until `marco` appears on stderr; returns its time, or -1.
double medir(QProcess &p, const char *marco, int ms)
{
    QElapsedTimer t;
    t.start();
    QByteArray saida;
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents();
        p.waitForReadyRead(20);
        saida += p.readAllStandardError();
        const int i = saida.indexOf(QByteArray("MEDIDA ") + marco + ' ');
        if (i >= 0) {
            const int fim = saida.indexOf('\n', i);
            if (fim > 0)
                return saida.mid(i, fim - i).split(' ').value(2).toDouble();
        }
    }
    return -1;
}

double mediana(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? -1 : v[v.size() / 2];
}

double cpu(quint16 porta, const QString &js)
{
    QTemporaryDir d;
    QProcess p;
    p.setProcessEnvironment(ambiente(d.path(), porta, js));
    p.start(QStringLiteral(QV_VARKELO_EXE));
    medir(p, "pagina-carregada", 30000);
    for (int i = 0; i < 125; ++i) { // the follow-up script runs; the glow lights up
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    const long long antes = ticksDaArvore(p.processId());
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 100; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(100);
    }
    const long long depois = ticksDaArvore(p.processId());
    const double segundos = t.elapsed() / 1000.0;
    p.terminate();
    p.waitForFinished(5000);
    return 100.0 * double(depois - antes) / sysconf(_SC_CLK_TCK) / segundos;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rodadas = argc > 1 ? QByteArray(argv[1]).toInt() : 5;
    Servidor s;
    QList<double> abrindo, pagina;
    for (int i = 0; i < rodadas; ++i) {
        QTemporaryDir d;
        QProcess p;
        p.setProcessEnvironment(ambiente(d.path(), s.serverPort()));
        p.start(QStringLiteral(QV_VARKELO_EXE));
        // The server answers from this thread: keep its loop running.
        QElapsedTimer t;
        t.start();
        double a = -1, b = -1;
        QByteArray saida;
        while (t.elapsed() < 30000 && b < 0) {
            QCoreApplication::processEvents();
            p.waitForReadyRead(20);
            saida += p.readAllStandardError();
            for (const QByteArray &l : saida.split('\n')) {
                if (l.startsWith("MEDIDA abrindo-pintado "))
                    a = l.split(' ').value(2).toDouble();
                if (l.startsWith("MEDIDA pagina-carregada "))
                    b = l.split(' ').value(2).toDouble();
            }
        }
        p.terminate();
        p.waitForFinished(5000);
        if (a >= 0)
            abrindo << a;
        if (b >= 0)
            pagina << b;
    }
    std::printf("varkelo: abertura pintada mediana %.0f ms (%lld rodadas)\n", mediana(abrindo), (long long)abrindo.size());
    std::printf("varkelo: pagina carregada mediana %.0f ms\n", mediana(pagina));
    std::printf("varkelo: CPU com o anel aceso 10 s: %.1f%% de um nucleo\n",
                cpu(s.serverPort(), QStringLiteral("window.webkit.messageHandlers.varkelo.postMessage({rec:true}); 1")));
    std::printf("varkelo: CPU parado 10 s: %.1f%% de um nucleo\n", cpu(s.serverPort(), {}));
    return 0;
}
