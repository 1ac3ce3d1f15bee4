// Download-and-extract throughput of the server package, with the process's
// peak RSS. The package carries an incompressible padding file so that its
// size on the wire is what it says; downloads stream to disk, so the peak
// must stay near the idle size whatever the package's size.
//
//   bench_download [MB]      (default 200)
#include "Ambiente.h"
#include "AtualizadorServidor.h"
#include "NuvemDeTeste.h"
#include "Plataforma.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>

namespace {

// A line of /proc/self/status in KiB ("VmRSS", "VmHWM").
qint64 statusKiB(const char *campo)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefixo = QByteArray(campo) + ':';
    for (const QByteArray &linha : f.readAll().split('\n')) {
        if (linha.startsWith(prefixo))
            return linha.mid(prefixo.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Resets the peak RSS (VmHWM) to the current RSS.
bool zerarPico()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

template <class T>
T esperar(QCoro::Task<T> &&tarefa)
{
    std::optional<T> valor;
    QEventLoop laco;
    auto aguardar = [&]() -> QCoro::Task<> {
        valor.emplace(co_await std::move(tarefa));
        laco.quit();
    };
    auto t = aguardar();
    if (!valor)
        laco.exec();
    return std::move(*valor);
}

qint64 tamanhoDaArvore(const QString &pasta)
{
    qint64 total = 0;
    QDir d(pasta);
    for (const QFileInfo &fi : d.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (fi.isSymLink())
            continue;
        total += fi.isDir() ? tamanhoDaArvore(fi.filePath()) : fi.size();
    }
    return total;
}

} // namespace

int main(int argc, char **argv)
{
    Ambiente::isolar();
    QCoreApplication app(argc, argv);
    const int mb = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200;
    if (mb <= 0) {
        std::fprintf(stderr, "uso: bench_download [MB]\n");
        return 2;
    }

    NuvemDeTeste nuvem;   // packs the project's stand-in local server
    if (!nuvem.iniciar()) {
        std::fprintf(stderr, "a nuvem de teste não subiu:\n%s\n", qPrintable(nuvem.saida()));
        return 1;
    }
    nuvem.apontarAmbiente();
    nuvem.controlar(QStringLiteral("pacote"), {{QStringLiteral("lastroMB"), mb}});
    std::printf("preparando um pacote de %d MB…\n", mb);
    std::fflush(stdout);
    const QJsonObject pronto = nuvem.controlar(QStringLiteral("preparar"));
    if (pronto.isEmpty()) {
        std::fprintf(stderr, "a nuvem não preparou o pacote\n");
        return 1;
    }

    // Idle: the network stack warmed up by one small request.
    (void)esperar(AtualizadorServidor::buscarNetinfoVPS());
    const qint64 ociosoKiB = statusKiB("VmRSS");
    const bool picoZerado = zerarPico();

    // Sample RSS too, in case clear_refs is not allowed here.
    qint64 amostraMaxKiB = ociosoKiB;
    QTimer amostrador;
    QObject::connect(&amostrador, &QTimer::timeout, [&] { amostraMaxKiB = qMax(amostraMaxKiB, statusKiB("VmRSS")); });
    amostrador.start(20);

    QElapsedTimer t;
    t.start();
    const ResultadoVazio r = esperar(AtualizadorServidor::baixarEAplicar());
    const qint64 ms = t.elapsed();
    amostrador.stop();
    if (!r.ok()) {
        std::fprintf(stderr, "falhou: %s\n", qPrintable(r.falha().descricao()));
        return 1;
    }
    const qint64 picoKiB = picoZerado ? statusKiB("VmHWM") : amostraMaxKiB;

    const double extraidoMB = tamanhoDaArvore(Plataforma::pastaServidorGerenciada()) / 1048576.0;
    const double s = ms / 1000.0;
    std::printf("pacote: %d MB de lastro, %.1f MB extraídos\n", mb, extraidoMB);
    std::printf("baixar e extrair: %.2f s, %.1f MB/s\n", s, extraidoMB / s);
    std::printf("RSS ocioso: %.1f MB; pico durante o download: %.1f MB (%+.1f MB)%s\n", ociosoKiB / 1024.0,
                picoKiB / 1024.0, (picoKiB - ociosoKiB) / 1024.0, picoZerado ? "" : " [amostrado a cada 20 ms]");
    return 0;
}
