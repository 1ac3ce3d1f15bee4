#include "BotaoOndrel.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "OndrelFontes.h"

QFont EstiloBotaoOndrel::fonte() const
{
    return OndrelFontes::fonte(OndrelFontes::inter(), QFont::DemiBold, compacto ? 11 : 12.5);
}

QSizeF EstiloBotaoOndrel::tamanhoDaCapsula(const QString &rotulo, qreal icone) const
{
    const QFontMetricsF fm(fonte());
    qreal largura = fm.horizontalAdvance(rotulo);
    if (icone > 0)
        largura += icone + (rotulo.isEmpty() ? 0 : 6);
    return {std::ceil(largura + 2 * margemHorizontal()), altura()};
}

void EstiloBotaoOndrel::pintar(QPainter &p, const QRectF &capsula, const Tema &t, const QString &rotulo,
                               const QIcon &icone, bool habilitado, bool pressionado, qreal escala,
                               qreal descida) const
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(p.opacity() * opacidade(habilitado));
    const QPointF centro = capsula.center();
    p.translate(centro.x(), centro.y() + descida);
    p.scale(escala, escala);
    p.translate(-centro.x(), -centro.y());

    const qreal r = capsula.height() / 2;
    QPainterPath forma;
    forma.addRoundedRect(capsula, r, r);
    p.fillPath(forma, fundo(t));

    // Rim: 1 point inside the capsule, white at the top fading to clear.
    const QRectF borda = capsula.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient brilho(borda.topLeft(), borda.bottomLeft());
    brilho.setColorAt(0, QColor::fromRgbF(1, 1, 1, float(opacidadeDoBrilho(pressionado))));
    brilho.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0));
    p.setPen(QPen(QBrush(brilho), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(borda, borda.height() / 2, borda.height() / 2);

    // Label (and icon), centred, one line.
    const QFont f = fonte();
    p.setFont(f);
    const QFontMetricsF fm(f);
    const qreal tamIcone = icone.isNull() ? 0 : std::round(fm.height());
    const qreal disponivel = capsula.width() - 2 * margemHorizontal() - (tamIcone > 0 ? tamIcone + 6 : 0);
    const QString texto = fm.elidedText(rotulo, Qt::ElideRight, std::max<qreal>(0, disponivel));
    const qreal larguraTexto = fm.horizontalAdvance(texto);
    const qreal total = larguraTexto + (tamIcone > 0 ? tamIcone + (texto.isEmpty() ? 0 : 6) : 0);
    qreal x = centro.x() - total / 2;
    if (tamIcone > 0) {
        const QRectF ri(x, centro.y() - tamIcone / 2, tamIcone, tamIcone);
        icone.paint(&p, ri.toAlignedRect());
        x += tamIcone + 6;
    }
    p.setPen(corDoRotulo(t));
    const qreal base = centro.y() + (fm.ascent() - fm.descent()) / 2;
    p.drawText(QPointF(x, base), texto);
    p.restore();
}

BotaoOndrel::BotaoOndrel(const QString &texto, bool forte, QWidget *parent) : QAbstractButton(parent)
{
    setText(texto);
    m_estilo.forte = forte;
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    TemaAtual::seguir(this);
    connect(this, &QAbstractButton::pressed, this, [this] { animarEscala(EstiloBotaoOndrel::molaDoToque()); });
    connect(this, &QAbstractButton::released, this, [this] { animarEscala(EstiloBotaoOndrel::molaDoToque()); });
}

void BotaoOndrel::setForte(bool f)
{
    m_estilo.forte = f;
    update();
}

void BotaoOndrel::setCompacto(bool c)
{
    if (c == m_estilo.compacto)
        return;
    m_estilo.compacto = c;
    updateGeometry();
    update();
}

QMarginsF BotaoOndrel::margemExterna(qreal larguraDoWidget) const
{
    // Room for the 1.02 growth and the 1-point press descent.
    const qreal h = std::max<qreal>(2, std::ceil(larguraDoWidget * 0.01));
    return {h, 1, h, 1};
}

QRectF BotaoOndrel::capsula() const
{
    const QMarginsF m = margemExterna(width());
    QRectF r = QRectF(rect()).marginsRemoved(m);
    // The height is fixed; centre the capsule if the widget was made taller.
    const qreal h = m_estilo.altura();
    return QRectF(r.left(), r.center().y() - h / 2, r.width(), h);
}

QSize BotaoOndrel::sizeHint() const
{
    const QSizeF c = m_estilo.tamanhoDaCapsula(text(), icon().isNull() ? 0 : 14);
    const QMarginsF m = margemExterna(c.width() * 1.02);
    return QSizeF(c.width() + m.left() + m.right(), c.height() + m.top() + m.bottom()).toSize();
}

QSize BotaoOndrel::minimumSizeHint() const { return sizeHint(); }

void BotaoOndrel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const bool pressionado = isDown();
    m_estilo.pintar(p, capsula(), ComponenteOndrel::tema(), text(), icon(), isEnabled(), pressionado, m_escala,
                    m_descida);
}

void BotaoOndrel::mostrarEstado(bool sobre, bool pressionado)
{
    if (m_anim)
        m_anim->stop();
    m_sobre = sobre && isEnabled();
    setDown(pressionado);
    m_escala = EstiloBotaoOndrel::escala(pressionado, m_sobre);
    m_descida = pressionado ? 1.0 : 0.0;
    update();
}

bool BotaoOndrel::hitButton(const QPoint &pos) const
{
    const QRectF c = capsula();
    QPainterPath forma;
    forma.addRoundedRect(c, c.height() / 2, c.height() / 2);
    return forma.contains(QPointF(pos));
}

void BotaoOndrel::enterEvent(QEnterEvent *e)
{
    atualizarSobre(e->position(), true);
    QAbstractButton::enterEvent(e);
}

void BotaoOndrel::leaveEvent(QEvent *e)
{
    atualizarSobre({}, false);
    QAbstractButton::leaveEvent(e);
}

void BotaoOndrel::mouseMoveEvent(QMouseEvent *e)
{
    atualizarSobre(e->position(), rect().contains(e->position().toPoint()));
    QAbstractButton::mouseMoveEvent(e);
}

void BotaoOndrel::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::EnabledChange && !isEnabled() && m_sobre) {
        m_sobre = false;
        animarEscala(EstiloBotaoOndrel::molaDoPonteiro());
    }
    QAbstractButton::changeEvent(e);
}

void BotaoOndrel::atualizarSobre(const QPointF &pos, bool dentro)
{
    const bool agora = dentro && isEnabled() && hitButton(pos.toPoint());
    if (agora == m_sobre)
        return;
    m_sobre = agora;
    animarEscala(EstiloBotaoOndrel::molaDoPonteiro());
}

void BotaoOndrel::animarEscala(const Mola &mola)
{
    const qreal alvoEscala = EstiloBotaoOndrel::escala(isDown(), m_sobre);
    const qreal alvoDescida = isDown() ? 1.0 : 0.0;
    if (m_anim) {
        m_anim->stop();
        m_anim->deleteLater();
    }
    m_anim = new AnimacaoMola(mola, this);
    const QPointF de(m_escala, m_descida);
    m_anim->setStartValue(de);
    m_anim->setEndValue(QPointF(alvoEscala, alvoDescida));
    connect(m_anim, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        const QPointF x = v.toPointF();
        m_escala = x.x();
        m_descida = x.y();
        update();
    });
    m_anim->start();
}

BotaoOndrel *botaoOndrel(const QString &texto, bool forte, QWidget *parent)
{
    return new BotaoOndrel(texto, forte, parent);
}
