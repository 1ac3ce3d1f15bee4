// Cost of the status poll on the client side, against the stand-in server.
//  1. 1,000 polls one after another: CPU time and heap allocations per poll.
//  2. A server that answers after 5 s while polling every 2 s: polls in
//     flight over time and resident memory (must stay flat).
// Usage: bench_poll [polls] [seconds of the slow phase]
#include "Ambiente.h"
#include "AjustesQuilvo.h"
#include "AppState.h"
#include "ServidorLocal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <sys/resource.h>

static std::atomic<long long> alocacoes{0};
void *operator new(std::size_t n)
{
    ++alocacoes;
    if (void *p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

static double cpuMs()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

static long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith("VmRSS:"))
            return l.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

int main(int argc, char **argv)
{
    Ambiente::isolar();
    QCoreApplication app(argc, argv);
    const int polls = argc > 1 ? atoi(argv[1]) : 1000;
    const int segundosLentos = argc > 2 ? atoi(argv[2]) : 40;

    ServidorLocal s;
    if (!s.iniciar()) {
        fprintf(stderr, "stand-in server did not start\n");
        return 1;
    }
    AjustesQuilvo().clear();
    AppState e;
    e.setIniciarServidorAutomaticamente(false);
    e.setBaseURLTexto(s.urlTexto());
    e.setToken(ServidorLocal::tokenDemo());

    // warm up
    for (int i = 0; i < 20; ++i) {
        QSignalSpy fim(&e, &AppState::pollConcluido);
        e.atualizarStatus();
        fim.wait(5000);
    }

    const double cpu0 = cpuMs();
    const long long aloc0 = alocacoes;
    QElapsedTimer relogio;
    relogio.start();
    for (int i = 0; i < polls; ++i) {
        QSignalSpy fim(&e, &AppState::pollConcluido);
        QElapsedTimer um;
        um.start();
        e.atualizarStatus();
        if (!fim.wait(70000)) {
            fprintf(stderr, "poll %d did not finish\n", i);
            return 1;
        }
        if (um.elapsed() > 1000)
            fprintf(stderr, "poll %d took %lld ms (%s)\n", i, um.elapsed(), qPrintable(e.erro().value_or(QStringLiteral("ok"))));
    }
    const double cpu = cpuMs() - cpu0;
    const long long aloc = alocacoes - aloc0;
    printf("sequential polls: %d in %.0f ms wall\n", polls, double(relogio.elapsed()));
    printf("  client CPU per poll (status + presence): %.3f ms\n", cpu / polls);
    printf("  heap allocations per poll: %.0f\n", double(aloc) / polls);

    // Slow server: every answer takes 5 s, the timer ticks every 2 s.
    s.controle(QStringLiteral("atraso"), {{"ms", 5000}});
    int emVoo = 0, maxEmVoo = 0;
    QObject::connect(&e, &AppState::pollConcluido, &app, [&] { --emVoo; });
    const long rss0 = rssKb();
    long rssMax = rss0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        ++emVoo;
        maxEmVoo = qMax(maxEmVoo, emVoo);
        e.atualizarStatus();
    });
    tick.start(2000);
    QTimer amostra;
    QObject::connect(&amostra, &QTimer::timeout, &app, [&] { rssMax = qMax(rssMax, rssKb()); });
    amostra.start(500);
    QTimer::singleShot(segundosLentos * 1000, &app, &QCoreApplication::quit);
    app.exec();
    printf("slow server (5 s per answer, poll every 2 s) for %d s:\n", segundosLentos);
    printf("  most polls in flight: %d (each waits for status and presence)\n", maxEmVoo);
    printf("  RSS: start %ld KiB, peak %ld KiB, growth %ld KiB\n", rss0, rssMax, rssMax - rss0);
    return 0;
}
