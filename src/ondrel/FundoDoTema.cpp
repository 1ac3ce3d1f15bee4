#include "FundoDoTema.h"

#include <QApplication>
#include <QEvent>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>
#include <QRadialGradient>
#include <QStyle>
#include <QStyleFactory>

#include "TemaAtual.h"

FundoDoTema::FundoDoTema(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    TemaAtual::seguir(this);
}

void FundoDoTema::pintar(QPainter &p, const QRectF &area, const Tema &tema)
{
    p.fillRect(area, tema.pagina);

    QLinearGradient brilho(area.topLeft(), QPointF(area.left(), area.center().y()));
    brilho.setColorAt(0, comOpacidade(tema.texto, opacidadeBrilho(tema)));
    QColor transparente = tema.texto;
    transparente.setAlphaF(0);
    brilho.setColorAt(1, transparente);
    p.fillRect(QRectF(area.left(), area.top(), area.width(), area.height() / 2), brilho);

    QRadialGradient vinheta(area.center(), raioExternoVinheta);
    vinheta.setColorAt(0, QColor(0, 0, 0, 0));
    vinheta.setColorAt(raioInternoVinheta / raioExternoVinheta, QColor(0, 0, 0, 0));
    vinheta.setColorAt(1, QColor::fromRgbF(0, 0, 0, float(opacidadeVinheta(tema))));
    p.fillRect(area, vinheta);
}

void FundoDoTema::paintEvent(QPaintEvent *e)
{
    const Tema &tema = TemaAtual::atual();
    const qreal dpr = devicePixelRatioF();
    const QSize alvo = (QSizeF(size()) * dpr).toSize();
    if (m_cache.size() != alvo || m_cacheTema != tema.id) {
        m_cache = QPixmap(alvo);
        m_cache.setDevicePixelRatio(dpr);
        QPainter c(&m_cache);
        pintar(c, QRectF(rect()), tema);
        m_cacheTema = tema.id;
    }
    QPainter p(this);
    const QRect r = e->rect();
    p.drawPixmap(r, m_cache, QRectF(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr).toRect());
}

namespace {

// `cima` composited over the opaque `baixo`.
QColor sobre(const QColor &cima, const QColor &baixo)
{
    const float a = cima.alphaF();
    return QColor::fromRgbF(cima.redF() * a + baixo.redF() * (1 - a), cima.greenF() * a + baixo.greenF() * (1 - a),
                            cima.blueF() * a + baixo.blueF() * (1 - a), 1.0f);
}

// Keeps the background widget at the bottom of the window and at its size.
class SeguidorDaJanela : public QObject {
public:
    SeguidorDaJanela(QWidget *janela, FundoDoTema *fundo) : QObject(janela), m_fundo(fundo) {}
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (m_fundo && (e->type() == QEvent::Resize || e->type() == QEvent::Show)) {
            m_fundo->setGeometry(static_cast<QWidget *>(o)->rect());
            m_fundo->lower();
        } else if (m_fundo && e->type() == QEvent::ChildAdded) {
            m_fundo->lower();
        }
        return false;
    }

private:
    QPointer<FundoDoTema> m_fundo;
};

void aplicarPaleta(QWidget *janela)
{
    const QPalette paleta = paletaDoTema(TemaAtual::atual());
    QApplication::setPalette(paleta);
    if (janela)
        janela->setPalette(paleta);
}

} // namespace

QPalette paletaDoTema(const Tema &t)
{
    const QColor pagina = sobre(t.pagina, Qt::black);
    const QColor painel = sobre(t.painel, pagina);
    const QColor texto = sobre(t.texto, pagina);
    const QColor textoSec = sobre(t.textoSec, pagina);
    const QColor borda = sobre(t.borda, painel);
    // Fields a little apart from the page: darker on dark themes, white on light.
    const QColor base = t.escuro ? sobre(QColor::fromRgbF(0, 0, 0, 0.25f), painel) : QColor(Qt::white);
    const QColor botao = sobre(t.escuro ? QColor::fromRgbF(1, 1, 1, 0.06f) : QColor::fromRgbF(1, 1, 1, 0.6f), painel);

    QPalette p;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool desab = g == QPalette::Disabled;
        p.setColor(g, QPalette::Window, pagina);
        p.setColor(g, QPalette::WindowText, desab ? textoSec : texto);
        p.setColor(g, QPalette::Base, base);
        p.setColor(g, QPalette::AlternateBase, sobre(comOpacidade(t.borda, 0.5), base));
        p.setColor(g, QPalette::ToolTipBase, painel);
        p.setColor(g, QPalette::ToolTipText, texto);
        p.setColor(g, QPalette::PlaceholderText, textoSec);
        p.setColor(g, QPalette::Text, desab ? textoSec : texto);
        p.setColor(g, QPalette::Button, botao);
        p.setColor(g, QPalette::ButtonText, desab ? textoSec : texto);
        p.setColor(g, QPalette::BrightText, sobre(t.vermelho, pagina));
        p.setColor(g, QPalette::Light, botao.lighter(t.escuro ? 130 : 110));
        p.setColor(g, QPalette::Midlight, botao.lighter(t.escuro ? 115 : 105));
        p.setColor(g, QPalette::Mid, borda);
        p.setColor(g, QPalette::Dark, borda.darker(130));
        p.setColor(g, QPalette::Shadow, QColor(0, 0, 0, t.escuro ? 160 : 60));
        p.setColor(g, QPalette::Highlight, desab ? borda : sobre(t.azul, pagina));
        p.setColor(g, QPalette::HighlightedText, Qt::white);
        p.setColor(g, QPalette::Link, sobre(t.azul, pagina));
        p.setColor(g, QPalette::LinkVisited, sobre(t.azul, pagina).darker(115));
    }
    return p;
}

void janelaOndrel(QWidget *janela)
{
    if (!janela)
        return;
    // Surfaces, shadows and the background are drawn from shared pixmap
    // caches; the default 10 MB would evict them on a large screen.
    if (QPixmapCache::cacheLimit() < 48 * 1024)
        QPixmapCache::setCacheLimit(48 * 1024);
    if (QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    FundoDoTema *fundo = janela->findChild<FundoDoTema *>(QString(), Qt::FindDirectChildrenOnly);
    if (!fundo) {
        fundo = new FundoDoTema(janela);
        fundo->setObjectName(QStringLiteral("FundoDoTema"));
        fundo->setGeometry(janela->rect());
        fundo->lower();
        fundo->show();
        janela->installEventFilter(new SeguidorDaJanela(janela, fundo));
        QPointer<QWidget> alvo(janela);
        QObject::connect(TemaAtual::instancia(), &TemaAtual::temaMudou, janela, [alvo] {
            if (!alvo)
                return;
            aplicarPaleta(alvo);
            alvo->update();
        });
    }
    aplicarPaleta(janela);
}

void janelaOndrel(QWidget *janela, const Tema &tema)
{
    TemaAtual::instancia()->definirTemaId(tema.id);
    janelaOndrel(janela);
}
