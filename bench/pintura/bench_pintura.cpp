// Painting cost of one overview-like screen (30 surfaces, 60 captions, 10
// buttons, 6 live dots) at 1040 × 700: median milliseconds per full repaint,
// and the CPU share of one core while the live dots pulse for 10 seconds.
//
//   bench_pintura [--tema ID] [--quadros N] [--segundos S]
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <memory>

#include "Galeria.h"
#include "Ondrel.h"

namespace {
double cpuSegundos()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double mediana(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("ONDREL_REDUZIR_MOVIMENTO", "0");
    QApplication app(argc, argv);
    OndrelFontes::registrar();
    QCommandLineParser args;
    args.addOption({"tema", "Tema.", "id", "theme-apple-dark"});
    args.addOption({"quadros", "Repinturas completas medidas.", "n", "200"});
    args.addOption({"segundos", "Duração da animação medida.", "s", "10"});
    args.process(app);
    TemaAtual::instancia()->definirTemaId(args.value("tema"));

    std::unique_ptr<QWidget> tela(Galeria::montarVisaoGeral());
    tela->show();
    QApplication::processEvents();

    int superficies = tela->findChildren<ModificadorSuperficie *>().size();
    int rotulos = tela->findChildren<Rotulo *>().size();
    int botoes = tela->findChildren<BotaoOndrel *>().size();
    const QList<PontoVivo *> pontos = tela->findChildren<PontoVivo *>();
    printf("platform %s, theme %s, %dx%d: %d surfaces, %d captions, %d buttons, %d live dots\n",
           qPrintable(QGuiApplication::platformName()), qPrintable(args.value("tema")), tela->width(),
           tela->height(), superficies, rotulos, botoes, int(pontos.size()));

    // Full repaints, dots frozen: every paint event of the screen, into an
    // image (the same drawing as a window repaint, on any platform).
    for (PontoVivo *p : pontos)
        p->congelar(0.4);
    QElapsedTimer t;
    const int n = args.value("quadros").toInt();
    auto medir = [&](QWidget *w, int vezes) {
        QImage im(w->size(), QImage::Format_ARGB32_Premultiplied);
        std::vector<double> v;
        for (int i = 0; i < vezes; ++i) {
            t.restart();
            w->render(&im);
            v.push_back(t.nsecsElapsed() / 1e6);
        }
        return v;
    };
    t.start();
    const double primeiro = medir(tela.get(), 1).front();
    std::vector<double> ms = medir(tela.get(), n);
    std::sort(ms.begin(), ms.end());
    printf("full repaint (render to image): first %.2f ms, median %.2f ms, p90 %.2f ms over %d frames "
           "(target < 8 ms)\n",
           primeiro, mediana(ms), ms[size_t(ms.size() * 0.9)], n);
    printf("by piece (median of 30, children included):");
    const auto superficies2 = tela->findChildren<ModificadorSuperficie *>();
    const std::pair<QWidget *, const char *> pecas[] = {
        {tela->findChild<FundoDoTema *>(), "background"},     {superficies2[0], "raised surface"},
        {superficies2[1], "plain surface"},                   {superficies2[2], "sunken surface"},
        {tela->findChildren<Rotulo *>().first(), "caption"}, {tela->findChildren<BotaoOndrel *>().first(), "button"},
    };
    for (const auto &[w, nome] : pecas)
        printf(" %s %.3f ms;", nome, mediana(medir(w, 30)));
    printf("\n");

    // Live dots pulsing: CPU share of one core.
    const int segundos = args.value("segundos").toInt();
    for (PontoVivo *p : pontos) {
        p->hide();
        p->show(); // restarts the pulse
    }
    QApplication::processEvents();
    // Counts the frames the first dot really paints, so the figure below is
    // known to include the drawing.
    struct Contador : QObject {
        int quadros = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            quadros += e->type() == QEvent::Paint;
            return false;
        }
    } contador;
    if (!pontos.isEmpty())
        pontos.first()->installEventFilter(&contador);
    int animando = 0;
    for (PontoVivo *p : pontos)
        animando += p->animando();
    const double cpu0 = cpuSegundos();
    QElapsedTimer parede;
    parede.start();
    QTimer::singleShot(segundos * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = cpuSegundos() - cpu0;
    const double wall = parede.nsecsElapsed() / 1e9;
    printf("live dots animating (%d) for %.1f s, %d frames painted per dot: %.2f s CPU = %.1f %% of a core "
           "(target < 5 %%)\n",
           animando, wall, contador.quadros, cpu, 100.0 * cpu / wall);
    return 0;
}
