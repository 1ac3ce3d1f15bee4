// Varkelo: the chromeless web shell around the product's web app.
#include "Abrindo.h"
#include "EstadoVarkelo.h"
#include "JanelaVarkelo.h"
#include "OndrelFontes.h"
#include "PaginaVarkelo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QWebEngineView>
#include <cstdio>

namespace {
// VARKELO_MEDIR=1 prints start-up milestones on stderr (for the benchmarks).
void medida(const QElapsedTimer &t, const char *marco)
{
    std::fprintf(stderr, "MEDIDA %s %.1f\n", marco, t.nsecsElapsed() / 1e6);
    std::fflush(stderr);
}
} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer desdeOInicio;
    desdeOInicio.start();
    // Without a GPU (Xvfb, virtual machines) the engine's OpenGL path stalls
    // every load for seconds; its software compositor does not.
    // VARKELO_GPU=1 keeps the OpenGL scene graph.
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND") && !qEnvironmentVariableIntValue("VARKELO_GPU"))
        qputenv("QT_QUICK_BACKEND", "software");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Varkelo"));
    QCoreApplication::setApplicationName(QStringLiteral("Varkelo"));
    QApplication::setQuitOnLastWindowClosed(true);
    OndrelFontes::registrar();

    auto *estado = new EstadoVarkelo(&app);
    JanelaVarkelo janela(estado);

    if (qEnvironmentVariableIntValue("VARKELO_MEDIR")) {
        auto *primeira = new QMetaObject::Connection;
        *primeira = QObject::connect(janela.abrindo(), &Abrindo::pintado, &app, [primeira, desdeOInicio] {
            medida(desdeOInicio, "abrindo-pintado");
            QObject::disconnect(*primeira);
            delete primeira;
        });
        QObject::connect(estado, &EstadoVarkelo::carregandoMudou, &app, [estado, desdeOInicio] {
            if (!estado->carregando())
                medida(desdeOInicio, "pagina-carregada");
        });
    }

    janela.show();
    return app.exec();
}
