#include "Galeria.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSaveFile>
#include <QVBoxLayout>

#include "Ondrel.h"

namespace Galeria {

namespace {

QString nomeDoBotao(bool forte, bool compacto, const char *estado)
{
    return QStringLiteral("botao-%1-%2-%3")
        .arg(forte ? QStringLiteral("forte") : QStringLiteral("simples"),
             compacto ? QStringLiteral("compacto") : QStringLiteral("regular"), QLatin1String(estado));
}

// A caption over a surface holding a wrapping row.
FlowLayout *secao(QVBoxLayout *coluna, const QString &titulo, Superficie tipo = Superficie::elevada,
                  qreal espacamento = 12)
{
    coluna->addWidget(new Rotulo(titulo));
    auto *s = new ModificadorSuperficie(tipo, 16);
    auto *corpo = new QWidget;
    auto *fluxo = new FlowLayout(espacamento, corpo);
    s->conteudo()->addWidget(corpo);
    coluna->addWidget(s);
    return fluxo;
}

QWidget *cartao(Superficie tipo, const QString &titulo, const QString &etiqueta, const QColor &cor)
{
    auto *conteudo = new QWidget;
    auto *v = new QVBoxLayout(conteudo);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(8);
    v->addWidget(new Rotulo(titulo));
    auto *linha = new QHBoxLayout;
    linha->setSpacing(6);
    linha->addWidget(new Ponto(cor, 8, true));
    linha->addWidget(new EtiquetaDeEstado(etiqueta, cor));
    linha->addStretch();
    v->addLayout(linha);
    auto *s = superficie(conteudo, tipo, 16);
    s->setFixedWidth(250);
    return s;
}

} // namespace

QWidget *montarQuadro()
{
    const Tema &t = TemaAtual::atual();
    auto *janela = new QWidget;
    janela->setObjectName(QStringLiteral("galeria"));
    janela->setWindowTitle(QStringLiteral("Galeria Ondrel"));
    auto *coluna = new QVBoxLayout(janela);
    coluna->setContentsMargins(32, 28, 32, 36);
    coluna->setSpacing(10);

    auto *titulo = new TituloDeSecao(QStringLiteral("Galeria"),
                                     QStringLiteral("Tema “%1” (%2) — cada componente em todos os seus estados.")
                                         .arg(t.nome, t.id));
    titulo->setObjectName(QStringLiteral("titulo"));
    coluna->addWidget(titulo);
    coluna->addSpacing(6);

    // Surfaces
    coluna->addWidget(new Rotulo(QStringLiteral("Superfícies")));
    {
        auto *linha = new QHBoxLayout;
        linha->setSpacing(18);
        QWidget *e = cartao(Superficie::elevada, QStringLiteral("Elevada"), QStringLiteral("No ar"), t.verde);
        e->setObjectName(QStringLiteral("superficie-elevada"));
        QWidget *c = cartao(Superficie::comum, QStringLiteral("Comum"), QStringLiteral("Atenção"), t.amarelo);
        c->setObjectName(QStringLiteral("superficie-comum"));
        QWidget *r = cartao(Superficie::rebaixada, QStringLiteral("Rebaixada"), QStringLiteral("Parado"), t.vermelho);
        r->setObjectName(QStringLiteral("superficie-rebaixada"));
        linha->addWidget(e);
        linha->addWidget(c);
        linha->addWidget(r);
        linha->addStretch();
        coluna->addLayout(linha);
    }
    coluna->addSpacing(14);

    // Buttons: strong and plain, regular and compact, in every state.
    coluna->addWidget(new Rotulo(QStringLiteral("Botões")));
    {
        auto *s = new ModificadorSuperficie(Superficie::elevada, 16);
        auto *corpo = new QWidget;
        auto *grade = new QGridLayout(corpo);
        grade->setContentsMargins(0, 0, 0, 0);
        grade->setHorizontalSpacing(18);
        grade->setVerticalSpacing(10);
        const char *estados[] = {"normal", "sobre", "pressionado", "desabilitado"};
        const QString rotulos[] = {QStringLiteral("Iniciar servidor"), QStringLiteral("Sobre"),
                                   QStringLiteral("Pressionado"), QStringLiteral("Desabilitado")};
        int linha = 0;
        for (bool forte : {true, false})
            for (bool compacto : {false, true}) {
                for (int i = 0; i < 4; ++i) {
                    auto *b = new BotaoOndrel(rotulos[i], forte);
                    b->setCompacto(compacto);
                    b->setObjectName(nomeDoBotao(forte, compacto, estados[i]));
                    if (i == 1)
                        b->mostrarEstado(true, false);
                    if (i == 2)
                        b->mostrarEstado(false, true);
                    if (i == 3) {
                        b->setEnabled(false);
                        b->mostrarEstado(true, false); // the pointer over it: it must not grow
                    }
                    grade->addWidget(b, linha, i, Qt::AlignLeft | Qt::AlignVCenter);
                }
                ++linha;
            }
        grade->setColumnStretch(4, 1);
        s->conteudo()->addWidget(corpo);
        coluna->addWidget(s);
    }
    coluna->addSpacing(14);

    // Tiles
    {
        FlowLayout *f = secao(coluna, QStringLiteral("Ptile"));
        struct Caso {
            const char *nome;
            QString sigla;
            std::optional<QString> nomeDoTile;
            qreal lado;
            std::optional<QString> categoria;
        };
        const Caso casos[] = {
            {"ptile-cl", QStringLiteral("Cl"), QStringLiteral("Claquete"), 56, std::nullopt},
            {"ptile-ar", QStringLiteral("Ar"), QStringLiteral("Arte"), 56, std::nullopt},
            {"ptile-ca", QStringLiteral("Ca"), QStringLiteral("Câmera"), 56, std::nullopt},
            {"ptile-hi", QStringLiteral("Hi"), QStringLiteral("História"), 56, std::nullopt},
            {"ptile-qv", QStringLiteral("Qv"), QStringLiteral("Quilvo"), 56, std::nullopt},
            {"ptile-zz", QStringLiteral("Zz"), QStringLiteral("Nenhuma"), 56, std::nullopt},
            {"ptile-cl-como-ca", QStringLiteral("Cl"), std::nullopt, 56, QStringLiteral("Ca")},
            {"ptile-40", QStringLiteral("Tv"), QStringLiteral("Televisão"), 40, std::nullopt},
            {"ptile-72", QStringLiteral("Pj"), QStringLiteral("Projeto"), 72, std::nullopt},
            {"ptile-96", QStringLiteral("Od"), std::nullopt, 96, std::nullopt},
        };
        for (const Caso &c : casos) {
            auto *p = new Ptile(c.sigla, c.nomeDoTile, c.lado, c.categoria);
            p->setObjectName(QLatin1String(c.nome));
            f->addWidget(p);
        }
    }
    coluna->addSpacing(14);

    // Badges, dots and texts
    {
        FlowLayout *f = secao(coluna, QStringLiteral("Etiquetas e pontos"), Superficie::comum, 14);
        auto adicionar = [f](QWidget *w, const char *nome) {
            w->setObjectName(QLatin1String(nome));
            f->addWidget(w);
        };
        adicionar(new EtiquetaDeEstado(QStringLiteral("Sem cor")), "etiqueta-sem-cor");
        adicionar(new EtiquetaDeEstado(QStringLiteral("Funcionando"), t.verde), "etiqueta-verde");
        adicionar(new EtiquetaDeEstado(QStringLiteral("Pendente"), t.amarelo, true), "etiqueta-tracejada");
        adicionar(new EtiquetaDeEstado(QStringLiteral("Gravando"), t.vermelho), "etiqueta-vermelha");
        auto *apertada = new EtiquetaDeEstado(QStringLiteral("Atualização pendente"), t.laranja);
        apertada->setFixedWidth(110);
        adicionar(apertada, "etiqueta-apertada");
        auto *cortada = new EtiquetaDeEstado(QStringLiteral("Atualização pendente"), t.azul, true);
        cortada->setFixedWidth(72);
        adicionar(cortada, "etiqueta-cortada");
        for (qreal fase : {0.0, 0.35, 0.7}) {
            auto *p = new PontoVivo(t.verde, 10, true);
            p->setProperty("faseDaGaleria", fase);
            adicionar(p, fase == 0.0 ? "ponto-vivo-0" : (fase < 0.5 ? "ponto-vivo-35" : "ponto-vivo-70"));
        }
        adicionar(new PontoVivo(t.vermelho, 10, false), "ponto-vivo-apagado");
        adicionar(new Ponto(t.verde, 10, true), "ponto-aceso");
        adicionar(new Ponto(t.amarelo, 10, true), "ponto-aceso-amarelo");
        adicionar(new Ponto(t.vermelho, 10, false), "ponto-apagado");
        adicionar(new Rotulo(QStringLiteral("Rótulo de seção")), "rotulo");
    }
    coluna->addSpacing(14);

    // Section title with a wrapping subtitle; the staggered entrance frozen
    // at four moments.
    coluna->addWidget(new Rotulo(QStringLiteral("Título e entrada")));
    {
        auto *linha = new QHBoxLayout;
        linha->setSpacing(18);
        auto *t2 = new TituloDeSecao(QStringLiteral("Visão geral"),
                                     QStringLiteral("O servidor local, as pessoas conectadas e a rede do set, "
                                                    "num só lugar — o subtítulo quebra em quantas linhas precisar."));
        t2->setObjectName(QStringLiteral("titulo-com-subtitulo"));
        t2->setFixedWidth(340);
        linha->addWidget(t2, 0, Qt::AlignTop);
        int ordem = 0;
        for (qreal progresso : {0.0, 0.35, 0.7, 1.0}) {
            auto *c = new QWidget;
            auto *v = new QVBoxLayout(c);
            v->setContentsMargins(0, 0, 0, 0);
            v->addWidget(new Rotulo(QStringLiteral("%1 %").arg(int(progresso * 100))));
            auto *s = superficie(c, Superficie::elevada, 14);
            s->setFixedSize(110, 64);
            s->setObjectName(QStringLiteral("entrada-%1").arg(int(progresso * 100)));
            s->setProperty("progressoDaGaleria", progresso);
            aparecer(s, ordem++);
            linha->addWidget(s, 0, Qt::AlignTop);
        }
        linha->addStretch();
        coluna->addLayout(linha);
    }
    coluna->addStretch();

    janela->resize(1080, janela->heightForWidth(1080));
    janelaOndrel(janela);
    return janela;
}

QWidget *montarVisaoGeral()
{
    const Tema &t = TemaAtual::atual();
    auto *janela = new QWidget;
    janela->setObjectName(QStringLiteral("visao-geral"));
    janela->setWindowTitle(QStringLiteral("Visão geral"));
    auto *coluna = new QVBoxLayout(janela);
    coluna->setContentsMargins(24, 18, 24, 20);
    coluna->setSpacing(12);
    coluna->addWidget(new TituloDeSecao(QStringLiteral("Visão geral"),
                                        QStringLiteral("Servidor, pessoas e rede do set.")));
    auto *grade = new QGridLayout;
    grade->setHorizontalSpacing(12);
    grade->setVerticalSpacing(12);
    const Superficie tipos[] = {Superficie::elevada, Superficie::comum, Superficie::rebaixada};
    const QColor cores[] = {t.verde, t.amarelo, t.vermelho, t.azul, t.laranja};
    int botoes = 0, pontos = 0;
    for (int i = 0; i < 30; ++i) {
        auto *conteudo = new QWidget;
        auto *v = new QVBoxLayout(conteudo);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(6);
        v->addWidget(new Rotulo(QStringLiteral("Cartão %1").arg(i + 1)));
        auto *linha = new QHBoxLayout;
        linha->setSpacing(6);
        if (pontos < 6 && i % 5 == 0) {
            linha->addWidget(new PontoVivo(cores[i % 5], 8, true));
            ++pontos;
        }
        linha->addWidget(new Rotulo(QStringLiteral("%1 conectados").arg(i * 3 % 17)));
        linha->addStretch();
        v->addLayout(linha);
        if (botoes < 10 && i % 3 == 1) {
            v->addWidget(new BotaoOndrel(QStringLiteral("Abrir"), botoes % 2 == 0), 0, Qt::AlignLeft);
            ++botoes;
        }
        auto *s = superficie(conteudo, tipos[i % 3], 12);
        grade->addWidget(s, i / 6, i % 6);
    }
    coluna->addLayout(grade);
    coluna->addStretch();
    janela->resize(1040, 700);
    janela->setFixedSize(1040, 700);
    janelaOndrel(janela);
    return janela;
}

QImage renderizar(QWidget *janela)
{
    janela->show();
    QApplication::processEvents();
    for (PontoVivo *p : janela->findChildren<PontoVivo *>()) {
        const QVariant fase = p->property("faseDaGaleria");
        p->congelar(fase.isValid() ? fase.toReal() : 0.35);
    }
    for (QWidget *w : janela->findChildren<QWidget *>())
        if (Aparecer *a = Aparecer::de(w)) {
            const QVariant prog = w->property("progressoDaGaleria");
            a->mostrarProgresso(prog.isValid() ? prog.toReal() : 1.0);
        }
    QApplication::processEvents();
    return janela->grab().toImage();
}

namespace {
bool gravar(const QImage &img, const QString &caminho)
{
    QSaveFile f(caminho);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (!img.save(&f, "PNG"))
        return false;
    return f.commit();
}
} // namespace

QString salvar(const QString &temaId, const QString &pasta)
{
    TemaAtual::instancia()->definirTemaId(temaId);
    QDir().mkpath(pasta);
    const QString caminho = QDir(pasta).filePath(temaId + QStringLiteral(".png"));
    {
        std::unique_ptr<QWidget> quadro(montarQuadro());
        if (!gravar(renderizar(quadro.get()), caminho))
            return {};
    }
    {
        std::unique_ptr<QWidget> visao(montarVisaoGeral());
        if (!gravar(renderizar(visao.get()), QDir(pasta).filePath(QStringLiteral("visao-geral-") + temaId +
                                                                  QStringLiteral(".png"))))
            return {};
    }
    return caminho;
}

} // namespace Galeria
