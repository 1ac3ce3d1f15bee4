// The gallery: renders every component in every state, in any theme, to PNG
// files; with a display it also shows the board in a window with a theme
// picker.
//
//   galeria [--saida PASTA] [--tema ID]... [--janela]
//
// Without --tema every theme of the catalogue is rendered.
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QScrollArea>
#include <QTextStream>
#include <QVBoxLayout>

#include "Galeria.h"
#include "Ondrel.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("galeria"));
    OndrelFontes::registrar();

    QCommandLineParser args;
    args.addHelpOption();
    args.addOption({QStringLiteral("saida"), QStringLiteral("Pasta dos PNGs."), QStringLiteral("pasta")});
    args.addOption({QStringLiteral("tema"), QStringLiteral("Tema a desenhar (repetível)."), QStringLiteral("id")});
    args.addOption({QStringLiteral("janela"), QStringLiteral("Mostra a galeria numa janela.")});
    args.process(app);

    QTextStream err(stderr), out(stdout);
    QStringList temas = args.values(QStringLiteral("tema"));
    if (temas.isEmpty())
        for (const Tema &t : Tema::todos())
            temas << t.id;
    for (const QString &id : temas)
        if (!TemasCatalogo::contem(id)) {
            err << "galeria: tema desconhecido: " << id << "\n";
            return 2;
        }

    const bool comTela = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                         QGuiApplication::platformName() != QLatin1String("minimal");
    const bool janela = args.isSet(QStringLiteral("janela")) || (comTela && !args.isSet(QStringLiteral("saida")));

    if (args.isSet(QStringLiteral("saida"))) {
        const QString pasta = args.value(QStringLiteral("saida"));
        for (const QString &id : temas) {
            const QString caminho = Galeria::salvar(id, pasta);
            if (caminho.isEmpty()) {
                err << "galeria: não consegui gravar em " << pasta << "\n";
                return 1;
            }
            out << caminho << "\n";
        }
    }
    if (!janela)
        return 0;

    // Interactive: a theme picker over the board; switching rebuilds the
    // board so texts that name the theme follow.
    TemaAtual::instancia()->definirTemaId(temas.first());
    QWidget raiz;
    raiz.setWindowTitle(QStringLiteral("Galeria Ondrel"));
    auto *v = new QVBoxLayout(&raiz);
    auto *escolha = new QComboBox;
    for (const Tema &t : Tema::todos())
        escolha->addItem(t.nome + QStringLiteral(" — ") + t.id, t.id);
    escolha->setCurrentIndex(escolha->findData(temas.first()));
    v->addWidget(escolha, 0, Qt::AlignLeft);
    auto *rolagem = new QScrollArea;
    rolagem->setWidgetResizable(false);
    rolagem->setFrameShape(QFrame::NoFrame);
    v->addWidget(rolagem);
    auto montar = [rolagem] {
        QWidget *q = Galeria::montarQuadro();
        rolagem->setWidget(q);
        rolagem->viewport()->setAutoFillBackground(false);
    };
    montar();
    QObject::connect(escolha, &QComboBox::currentIndexChanged, &raiz, [escolha, montar] {
        TemaAtual::instancia()->definirTemaId(escolha->currentData().toString());
        montar();
    });
    janelaOndrel(&raiz);
    raiz.resize(1120, 860);
    raiz.show();
    return app.exec();
}
