#include "Superficie.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPixmapCache>

#include "EfeitoOndrel.h"

ModificadorSuperficie::ModificadorSuperficie(Superficie tipo, qreal preenchimento, QWidget *parent)
    : ComponenteOndrel(parent), m_tipo(tipo), m_preenchimento(preenchimento), m_layout(new QVBoxLayout(this))
{
    const int m = qRound(preenchimento);
    m_layout->setContentsMargins(m, m, m, m);
    m_layout->setSpacing(8);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    aplicarSombra();
    connect(TemaAtual::instancia(), &TemaAtual::temaMudou, this, &ModificadorSuperficie::aplicarSombra);
}

void ModificadorSuperficie::setTipo(Superficie tipo)
{
    if (tipo == m_tipo)
        return;
    m_tipo = tipo;
    aplicarSombra();
    update();
}

void ModificadorSuperficie::setPreenchimento(qreal p)
{
    m_preenchimento = p;
    const int m = qRound(p);
    m_layout->setContentsMargins(m, m, m, m);
}

QPainterPath ModificadorSuperficie::forma(const QRectF &r)
{
    QPainterPath caminho;
    const qreal c = std::min({canto, r.width() / 2, r.height() / 2});
    caminho.addRoundedRect(r, c, c);
    return caminho;
}

ModificadorSuperficie::Aparencia ModificadorSuperficie::aparencia(Superficie tipo, const Tema &t)
{
    Aparencia a;
    a.borda = t.borda;
    if (tipo == Superficie::rebaixada) {
        a.fundo = QColor::fromRgbF(0, 0, 0, t.escuro ? 0.22f : 0.05f);
        a.material = Qt::transparent;
        a.sombraInterna = QColor::fromRgbF(0, 0, 0, t.escuro ? 0.35f : 0.08f);
        a.sombra = Qt::transparent;
        return a;
    }
    const bool elevada = tipo == Superficie::elevada;
    a.fundo = comOpacidade(t.painel, elevada ? 0.55 : 0.35);
    a.material = Material::ultraFino(t);
    a.sombraInterna = Qt::transparent;
    a.sombra = QColor::fromRgbF(0, 0, 0, elevada ? 0.35f : 0.0f);
    a.raioSombra = 12;
    a.deslocamentoSombra = QPointF(0, 6);
    return a;
}

void ModificadorSuperficie::pintar(QPainter &p, const QRectF &r, Superficie tipo, const Tema &t)
{
    const Aparencia a = aparencia(tipo, t);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath f = forma(r);
    p.fillPath(f, a.fundo);
    if (a.material.alpha() > 0)
        p.fillPath(f, a.material);
    // 1-point border inside the edge
    p.setPen(QPen(a.borda, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(forma(r.adjusted(0.5, 0.5, -0.5, -0.5)));
    if (a.sombraInterna.alpha() > 0) {
        // The outline stroked 2 wide and blurred by 2, clipped to the shape:
        // three nested strokes stand in for the blur.
        p.setClipPath(f);
        QColor c = a.sombraInterna;
        c.setAlphaF(c.alphaF() / 3);
        for (qreal largura : {6.0, 4.0, 2.0}) {
            p.setPen(QPen(c, largura));
            p.drawPath(f);
        }
    }
    p.restore();
}

void ModificadorSuperficie::paintEvent(QPaintEvent *e)
{
    // Antialiased fills are costly per frame (and Qt spreads their spans over
    // threads); the finished shape is a function of kind, size and theme, so
    // it is drawn once into a shared cache and blitted.
    const Tema &t = tema();
    const qreal dpr = devicePixelRatioF();
    const QString chave = QStringLiteral("ondrel-superficie:%1:%2x%3:%4:%5")
                              .arg(int(m_tipo))
                              .arg(width())
                              .arg(height())
                              .arg(t.id)
                              .arg(dpr);
    QPixmap px;
    if (!QPixmapCache::find(chave, &px)) {
        px = QPixmap((QSizeF(size()) * dpr).toSize());
        px.setDevicePixelRatio(dpr);
        px.fill(Qt::transparent);
        QPainter c(&px);
        pintar(c, QRectF(rect()), m_tipo, t);
        c.end();
        QPixmapCache::insert(chave, px);
    }
    QPainter p(this);
    const QRect r = e->rect();
    p.drawPixmap(r, px, QRectF(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr).toRect());
}

void ModificadorSuperficie::aplicarSombra()
{
    const Aparencia a = aparencia(m_tipo, tema());
    if (a.sombra.alpha() == 0) {
        if (auto *e = qobject_cast<EfeitoOndrel *>(graphicsEffect()))
            e->removerSombra();
        return;
    }
    if (EfeitoOndrel *e = EfeitoOndrel::de(this))
        e->definirSombra({a.sombra, a.raioSombra, a.deslocamentoSombra, canto});
}

ModificadorSuperficie *superficie(QWidget *conteudo, Superficie tipo, qreal preenchimento)
{
    auto *s = new ModificadorSuperficie(tipo, preenchimento, conteudo ? conteudo->parentWidget() : nullptr);
    if (conteudo)
        s->conteudo()->addWidget(conteudo);
    return s;
}
