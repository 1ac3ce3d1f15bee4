#include "EfeitoOndrel.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include "Desfoque.h"

EfeitoOndrel *EfeitoOndrel::de(QWidget *w)
{
    if (!w)
        return nullptr;
    if (auto *e = qobject_cast<EfeitoOndrel *>(w->graphicsEffect()))
        return e;
    if (w->graphicsEffect())
        return nullptr;
    auto *e = new EfeitoOndrel(w);
    w->setGraphicsEffect(e);
    return e;
}

void EfeitoOndrel::definirSombra(const Sombra &s)
{
    m_temSombra = s.cor.alpha() > 0;
    m_sombra = s;
    updateBoundingRect();
    update();
}

void EfeitoOndrel::removerSombra()
{
    m_temSombra = false;
    updateBoundingRect();
    update();
}

void EfeitoOndrel::definirEntrada(qreal opacidade, qreal deslocamentoY)
{
    if (opacidade == m_opacidade && deslocamentoY == m_dy)
        return;
    const bool mudouAlcance = deslocamentoY != m_dy;
    m_opacidade = opacidade;
    m_dy = deslocamentoY;
    if (mudouAlcance)
        updateBoundingRect();
    update();
}

QRectF EfeitoOndrel::boundingRectFor(const QRectF &r) const
{
    QRectF b = r;
    if (m_dy != 0)
        b = b.united(r.translated(0, m_dy));
    if (m_temSombra) {
        const qreal m = Desfoque::alcance(m_sombra.raio);
        b = b.united(r.translated(m_sombra.deslocamento + QPointF(0, m_dy)).adjusted(-m, -m, m, m));
    }
    return b;
}

void EfeitoOndrel::draw(QPainter *p)
{
    if (m_opacidade <= 0)
        return;
    const QRectF fonte = sourceBoundingRect(Qt::LogicalCoordinates);
    p->save();
    if (m_temSombra) {
        // The shadow shows only around the shape: under the translucent fill
        // it would read as a grey stain (the system material hides it), so
        // the cached shadow has the shape cut out.
        const qreal m = Desfoque::alcance(m_sombra.raio);
        const qreal dpr = p->device() ? p->device()->devicePixelRatioF() : 1.0;
        const QPixmap sombra = Desfoque::sombraArredondada(fonte.size(), m_sombra.canto, m_sombra.raio, m_sombra.cor,
                                                           dpr, -m_sombra.deslocamento);
        p->setOpacity(p->opacity() * m_opacidade);
        p->drawPixmap(fonte.topLeft() + QPointF(0, m_dy) + m_sombra.deslocamento - QPointF(m, m), sombra);
        p->restore();
        p->save();
    }
    if (m_opacidade >= 1 && m_dy == 0) {
        // Settled: draw straight through, no offscreen copy.
        drawSource(p);
    } else {
        // Entering: the painter's opacity and offset do not reach the
        // children's own painters, so go through a pixmap for these frames.
        QPoint deslocamento;
        const QPixmap px = sourcePixmap(Qt::DeviceCoordinates, &deslocamento, QGraphicsEffect::NoPad);
        if (!px.isNull()) {
            const QTransform t = p->worldTransform();
            const QPointF d = t.map(QPointF(0, m_dy)) - t.map(QPointF(0, 0));
            p->setOpacity(p->opacity() * m_opacidade);
            p->setWorldTransform(QTransform());
            p->drawPixmap(QPointF(deslocamento) + d, px);
        }
    }
    p->restore();
}
