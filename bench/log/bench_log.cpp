// Floods a ServerProcess with output and reports what it costs the main
// thread: throughput (MB/s), peak RSS growth and the longest gap between
// ticks of a 5 ms timer (a stall the interface would feel).
//
//   bench_log [megabytes]   (default 100)
#include "ServerProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

qint64 rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &linha : f.readAll().split('\n'))
        if (linha.startsWith("VmRSS:"))
            return linha.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 megas = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100;
    const qint64 bytes = megas * 1024 * 1024;

    // A "runtime" whose node ignores server.js and floods stdout with lines
    // (multi-byte characters included, so chunk ends cut through them).
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("recursos/runtime"));
    QDir(tmp.path()).mkpath(QStringLiteral("servidor"));
    QFile script(tmp.filePath(QStringLiteral("recursos/runtime/node")));
    script.open(QIODevice::WriteOnly);
    script.write(QStringLiteral("#!/bin/sh\n"
                                "yes 'GET /api/admin/status 200 3ms — sessão ação çãõ 0123456789' | head -c %1\n"
                                "echo\necho FIM-DO-FLUXO\n").arg(bytes).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    qputenv("QUILVO_RECURSOS", tmp.filePath(QStringLiteral("recursos")).toUtf8());

    ServerProcess sp;
    qint64 avisos = 0;
    QObject::connect(&sp, &ServerProcess::logChanged, [&] { avisos += sp.log().size() > 0; });

    const qint64 rssInicial = rssKiB();
    qint64 rssPico = rssInicial;
    qint64 maiorPausa = 0;
    QElapsedTimer relogio, tique;
    QTimer marcador;
    marcador.setInterval(5);
    marcador.setTimerType(Qt::PreciseTimer);
    QObject::connect(&marcador, &QTimer::timeout, [&] {
        maiorPausa = qMax(maiorPausa, tique.restart());
        rssPico = qMax(rssPico, rssKiB());
    });

    QObject::connect(&sp, &ServerProcess::rodandoChanged, [&] {
        if (sp.rodando())
            return;
        const double s = relogio.elapsed() / 1000.0;
        const bool completo = sp.log().contains(QStringLiteral("FIM-DO-FLUXO"));
        std::printf("log flood: %lld MB in %.2f s = %.1f MB/s (%s)\n", megas, s, megas / s,
                    completo ? "all output read" : "OUTPUT INCOMPLETE");
        std::printf("log lines kept: %lld, change notifications: %lld\n", qint64(sp.log().size()), avisos);
        std::printf("peak RSS growth: %.1f MiB\n", (rssPico - rssInicial) / 1024.0);
        std::printf("longest main-thread stall: %lld ms (timer every 5 ms; target < 50 ms)\n", maiorPausa);
        app.exit(completo ? 0 : 1);
    });

    relogio.start();
    tique.start();
    marcador.start();
    sp.iniciar(tmp.filePath(QStringLiteral("servidor")));
    if (!sp.rodando()) {
        std::fprintf(stderr, "could not start the flood: %s\n", qPrintable(sp.log().join('\n')));
        return 1;
    }
    return app.exec();
}
