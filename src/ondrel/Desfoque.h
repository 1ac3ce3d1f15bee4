#pragma once
// Soft shadows and glows. The blurred images are cached by their parameters,
// so painting a shadow is a single blit.
#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <optional>

namespace Desfoque {
// Blurs the alpha of `img` (ARGB32 premultiplied) in place; `raio` is the
// shadow radius as the components give it (a Gaussian of sigma raio / 2).
void desfocar(QImage &img, qreal raio);
// How far a shadow of `raio` spreads beyond its shape.
inline qreal alcance(qreal raio) { return raio * 1.5; }
// The blurred shadow of a rounded rectangle of `tamanho` and corner `canto`
// in `cor`; the pixmap is larger than the shape by alcance(raio) on each side.
// With `furo`, the shape itself, placed at `furo` relative to the shadow's
// shape, is cut out (a drop shadow that never shows under its caster).
QPixmap sombraArredondada(QSizeF tamanho, qreal canto, qreal raio, const QColor &cor, qreal dpr,
                          std::optional<QPointF> furo = std::nullopt);
} // namespace Desfoque
