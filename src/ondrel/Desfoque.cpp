#include "Desfoque.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <cmath>
#include <vector>

namespace Desfoque {

namespace {
// One box pass over the alpha channel, along rows (horizontal) or columns.
void caixa(QImage &img, int r, bool horizontal)
{
    if (r <= 0)
        return;
    const int w = img.width(), h = img.height();
    const int n = horizontal ? w : h, linhas = horizontal ? h : w;
    std::vector<int> entrada(n), saida(n);
    const int janela = 2 * r + 1;
    for (int l = 0; l < linhas; ++l) {
        for (int i = 0; i < n; ++i) {
            const QRgb *px = reinterpret_cast<const QRgb *>(img.constScanLine(horizontal ? l : i)) + (horizontal ? i : l);
            entrada[i] = qAlpha(*px);
        }
        int soma = 0;
        for (int i = -r; i <= r; ++i)
            soma += (i >= 0 && i < n) ? entrada[i] : 0;
        for (int i = 0; i < n; ++i) {
            saida[i] = soma / janela;
            const int sai = i - r, entra = i + r + 1;
            if (sai >= 0)
                soma -= entrada[sai];
            if (entra < n)
                soma += entrada[entra];
        }
        for (int i = 0; i < n; ++i) {
            QRgb *px = reinterpret_cast<QRgb *>(img.scanLine(horizontal ? l : i)) + (horizontal ? i : l);
            const int a = saida[i];
            *px = qRgba(a, a, a, a); // white premultiplied: colourised later
        }
    }
}
} // namespace

void desfocar(QImage &img, qreal raio)
{
    // Three box passes of half-width r have the variance r (r + 1) of the
    // Gaussian they approximate.
    const qreal sigma = raio / 2.0;
    const int r = std::max(0, int(std::lround(std::sqrt(sigma * sigma + 0.25) - 0.5)));
    for (int k = 0; k < 3; ++k) {
        caixa(img, r, true);
        caixa(img, r, false);
    }
}

QPixmap sombraArredondada(QSizeF tamanho, qreal canto, qreal raio, const QColor &cor, qreal dpr,
                          std::optional<QPointF> furo)
{
    const QString chave = QStringLiteral("ondrel-sombra:%1x%2:%3:%4:%5:%6:%7,%8")
                              .arg(tamanho.width())
                              .arg(tamanho.height())
                              .arg(canto)
                              .arg(raio)
                              .arg(cor.rgba(), 0, 16)
                              .arg(dpr)
                              .arg(furo ? furo->x() : qQNaN())
                              .arg(furo ? furo->y() : qQNaN());
    QPixmap px;
    if (QPixmapCache::find(chave, &px))
        return px;
    const qreal m = alcance(raio);
    const QSizeF total(tamanho.width() + 2 * m, tamanho.height() + 2 * m);
    QImage img((total * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        QPainterPath forma;
        forma.addRoundedRect(QRectF(QPointF(m, m), tamanho), canto, canto);
        p.fillPath(forma, Qt::white);
    }
    desfocar(img, raio * dpr);
    {
        QPainter p(&img);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(img.rect(), cor);
        if (furo) {
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(dpr, dpr);
            p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            QPainterPath forma;
            forma.addRoundedRect(QRectF(QPointF(m, m) + *furo, tamanho), canto, canto);
            p.fillPath(forma, Qt::black);
        }
    }
    px = QPixmap::fromImage(img);
    px.setDevicePixelRatio(dpr);
    QPixmapCache::insert(chave, px);
    return px;
}

} // namespace Desfoque
