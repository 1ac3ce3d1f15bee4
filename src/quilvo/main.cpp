#include "AppDelegate.h"

#include "AppState.h"
#include "Narrador.h"
#include "OndrelFontes.h"
#include "Secoes.h"
#include "SinaisDeSaida.h"
#include "TemasCatalogo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

VarkeloLocalApp::VarkeloLocalApp()
{
    OndrelFontes::registrar();
    delegate.estado = AppState::compartilhado();
    delegate.estado->definirCatalogoDeTemas(&TemasCatalogo::contem);
}

void AppDelegate::lancamentoConcluido(const QStringList &argumentos)
{
    if (!estado)
        return;
    // The tray icon and its floating panel, and the main window, are
    // installed here once they exist; "--painel" and "--bolso" are read now
    // so their meaning is fixed.
    const Secoes::PedidoDePainel painel = Secoes::painelNosArgumentos(argumentos);
    Q_UNUSED(painel);
}

void AppDelegate::vaiTerminar()
{
    if (!estado)
        return;
    estado->pararServidor();
    // Give our child its grace period (the forced kill fires after 3 s), so
    // no server outlives the app holding the port.
    ServerProcess *p = estado->processo();
    if (!p->rodando())
        return;
    QEventLoop laco;
    QObject::connect(p, &ServerProcess::rodandoChanged, &laco, &QEventLoop::quit);
    QTimer::singleShot((ServerProcess::esperaAntesDeForcar + 1) * 1000, &laco, &QEventLoop::quit);
    laco.exec();
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quilvo"));
    QApplication::setApplicationName(QStringLiteral("Quilvo"));
    QApplication::setQuitOnLastWindowClosed(false);

    SinaisDeSaida::instalar([] { QCoreApplication::quit(); });

    VarkeloLocalApp aplicativo;
    const QStringList argumentos = app.arguments();
    if (argumentos.contains(QStringLiteral("--narrar")))
        Narrador::acompanhar(aplicativo.delegate.estado);

    QTimer::singleShot(0, &app, [&] { aplicativo.delegate.lancamentoConcluido(argumentos); });
    const int codigo = app.exec();
    aplicativo.delegate.vaiTerminar();
    return codigo;
}
