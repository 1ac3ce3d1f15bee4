#include "EtiquetaDeEstado.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "OndrelFontes.h"

namespace {
constexpr qreal margemH = 8, margemV = 3;
}

EtiquetaDeEstado::EtiquetaDeEstado(const QString &texto, std::optional<QColor> cor, bool tracejada, QWidget *parent)
    : ComponenteOndrel(parent), m_texto(texto), m_cor(cor), m_tracejada(tracejada)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void EtiquetaDeEstado::setTexto(const QString &t) { m_texto = t; updateGeometry(); update(); }
void EtiquetaDeEstado::setCor(std::optional<QColor> c) { m_cor = c; update(); }
void EtiquetaDeEstado::setTracejada(bool t) { m_tracejada = t; update(); }

QFont EtiquetaDeEstado::fonte(qreal escala)
{
    return OndrelFontes::fonte(OndrelFontes::inter(), QFont::DemiBold, 9.5 * escala, 0.9 * escala);
}

QSize EtiquetaDeEstado::sizeHint() const
{
    const QFontMetricsF fm(fonte());
    return QSizeF(std::ceil(fm.horizontalAdvance(m_texto.toUpper()) + 2 * margemH),
                  std::ceil(fm.height() + 2 * margemV))
        .toSize();
}

QSize EtiquetaDeEstado::minimumSizeHint() const
{
    const QFontMetricsF fm(fonte(menorEscala));
    const QSize ideal = sizeHint();
    return {int(std::ceil(std::min<qreal>(ideal.width(), fm.horizontalAdvance(QStringLiteral("…")) + 2 * margemH))),
            ideal.height()};
}

void EtiquetaDeEstado::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const Tema &t = tema();
    const QRectF r = QRectF(rect());
    const qreal raio = r.height() / 2;
    QPainterPath capsula;
    capsula.addRoundedRect(r, raio, raio);
    p.fillPath(capsula, t.pagina);

    QPen caneta(corDaBorda(), 1);
    if (m_tracejada)
        caneta.setDashPattern({3, 2});
    p.setPen(caneta);
    p.setBrush(Qt::NoBrush);
    const QRectF borda = r.adjusted(0.5, 0.5, -0.5, -0.5);
    p.drawRoundedRect(borda, borda.height() / 2, borda.height() / 2);

    // One line: shrink down to 0.7 of the size before cutting the text.
    const QString texto = m_texto.toUpper();
    const qreal disponivel = r.width() - 2 * margemH;
    QFont f = fonte();
    qreal largura = QFontMetricsF(f).horizontalAdvance(texto);
    if (largura > disponivel && largura > 0) {
        const qreal escala = std::max(menorEscala, disponivel / largura);
        f = fonte(escala);
    }
    const QFontMetricsF fm(f);
    const QString linha = fm.elidedText(texto, Qt::ElideRight, disponivel);
    p.setFont(f);
    p.setPen(corDoTexto());
    const qreal x = r.center().x() - fm.horizontalAdvance(linha) / 2;
    const qreal y = r.center().y() + (fm.ascent() - fm.descent()) / 2;
    p.drawText(QPointF(x, y), linha);
}
