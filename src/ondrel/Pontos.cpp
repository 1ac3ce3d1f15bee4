#include "Pontos.h"

#include <QPainter>
#include <QPixmapCache>
#include <QVariantAnimation>
#include <cmath>

#include "Desfoque.h"
#include "Movimento.h"

PontoVivo::PontoVivo(const QColor &cor, qreal tamanho, bool aceso, QWidget *parent)
    : ComponenteOndrel(parent), m_cor(cor), m_tamanho(tamanho), m_aceso(aceso)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PontoVivo::setCor(const QColor &c) { m_cor = c; update(); }
void PontoVivo::setTamanho(qreal t) { m_tamanho = t; updateGeometry(); update(); }

void PontoVivo::setAceso(bool a)
{
    if (a == m_aceso)
        return;
    m_aceso = a;
    if (isVisible())
        reiniciar();
    update();
}

bool PontoVivo::comHalo() const { return m_aceso && !Movimento::reduzido(); }

bool PontoVivo::animando() const { return m_anim && m_anim->state() == QAbstractAnimation::Running; }

void PontoVivo::setFase(qreal f)
{
    m_fase = f;
    update();
}

void PontoVivo::congelar(qreal fase)
{
    if (m_anim)
        m_anim->stop();
    setFase(fase);
}

QSize PontoVivo::sizeHint() const
{
    const int l = int(std::ceil(m_tamanho * escalaDoHalo));
    return {l, l};
}

void PontoVivo::pintar(QPainter &p, const QPointF &centro, const QColor &cor, qreal tamanho, bool halo, qreal fase)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal r = tamanho / 2;
    if (halo) {
        const qreal escala = 1.0 + (escalaDoHalo - 1.0) * fase;
        const qreal opacidade = 0.9 * (1.0 - fase);
        p.setBrush(comOpacidade(comOpacidade(cor, 0.35), opacidade));
        p.drawEllipse(centro, r * escala, r * escala);
    }
    p.setBrush(cor);
    p.drawEllipse(centro, r, r);
    p.restore();
}

void PontoVivo::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    pintar(p, QRectF(rect()).center(), m_cor, m_tamanho, comHalo(), m_fase);
}

void PontoVivo::reiniciar()
{
    // The phase starts over each time the dot comes on screen.
    m_fase = 0;
    if (!comHalo()) {
        if (m_anim)
            m_anim->stop();
        return;
    }
    if (!m_anim) {
        m_anim = new QVariantAnimation(this);
        m_anim->setStartValue(0.0);
        m_anim->setEndValue(1.0);
        m_anim->setDuration(periodoMs);
        m_anim->setEasingCurve(Movimento::saidaSuave());
        m_anim->setLoopCount(-1);
        connect(m_anim, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) { setFase(v.toReal()); });
    }
    m_anim->stop();
    m_anim->start();
}

void PontoVivo::showEvent(QShowEvent *) { reiniciar(); }

void PontoVivo::hideEvent(QHideEvent *)
{
    if (m_anim)
        m_anim->stop();
}

Ponto::Ponto(const QColor &cor, qreal tamanho, bool aceso, QWidget *parent)
    : ComponenteOndrel(parent), m_cor(cor), m_tamanho(tamanho), m_aceso(aceso)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Ponto::setCor(const QColor &c) { m_cor = c; update(); }
void Ponto::setTamanho(qreal t) { m_tamanho = t; updateGeometry(); update(); }
void Ponto::setAceso(bool a) { m_aceso = a; update(); }

QSize Ponto::sizeHint() const
{
    const int l = int(std::ceil(m_tamanho + 2 * margem));
    return {l, l};
}

void Ponto::pintar(QPainter &p, const QPointF &centro, const QColor &cor, qreal tamanho, bool aceso)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (aceso) {
        // Glow: the dot's disc in the colour at 0.8, blurred by 4; cached.
        const qreal raio = 4;
        const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
        const QColor brilho = comOpacidade(cor, 0.8);
        const QPixmap s = Desfoque::sombraArredondada(QSizeF(tamanho, tamanho), tamanho / 2, raio, brilho, dpr);
        const qreal m = Desfoque::alcance(raio);
        p.drawPixmap(centro - QPointF(tamanho / 2 + m, tamanho / 2 + m), s);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(cor);
    p.drawEllipse(centro, tamanho / 2, tamanho / 2);
    p.restore();
}

void Ponto::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    pintar(p, QRectF(rect()).center(), m_cor, m_tamanho, m_aceso);
}
