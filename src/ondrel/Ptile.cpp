#include "Ptile.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <cmath>

#include "Desfoque.h"
#include "OndrelFontes.h"

Ptile::Ptile(const QString &sigla, std::optional<QString> nome, qreal tamanho, std::optional<QString> categoria,
             QWidget *parent)
    : ComponenteOndrel(parent), m_sigla(sigla), m_nome(std::move(nome)), m_tamanho(tamanho),
      m_categoria(std::move(categoria))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Ptile::setSigla(const QString &s) { m_sigla = s; update(); }
void Ptile::setNome(std::optional<QString> n) { m_nome = std::move(n); update(); }
void Ptile::setTamanho(qreal t) { m_tamanho = t; updateGeometry(); update(); }
void Ptile::setCategoria(std::optional<QString> c) { m_categoria = std::move(c); update(); }

Elementos::Categoria Ptile::categoria() const
{
    return Elementos::categoria(m_categoria.has_value() ? m_categoria : std::optional<QString>(m_sigla));
}

Ptile::Medidas Ptile::medidas(qreal t, bool comNome)
{
    return Medidas{0.18 * t,
                   0.42 * t,
                   comNome ? 0.06 * t : 0.0,
                   std::max(0.125 * t, tamanhoMinimoDoNome),
                   0.08 * t,
                   QSizeF(0.36 * t, 2),
                   1.5};
}

QSize Ptile::sizeHint() const
{
    const int l = int(std::ceil(m_tamanho));
    return {l, l};
}

namespace {
// The sigla's glow: its text in `cor`, blurred by `raio`; cached.
QPixmap brilhoDoTexto(const QString &texto, const QFont &f, const QColor &cor, qreal raio, qreal dpr,
                      QPointF *origem)
{
    const QFontMetricsF fm(f);
    const qreal m = Desfoque::alcance(raio);
    const QRectF caixa = fm.boundingRect(texto).adjusted(-m, -m, m, m);
    *origem = caixa.topLeft();
    const QString chave = QStringLiteral("ondrel-brilho:%1:%2:%3:%4:%5")
                              .arg(texto, f.key())
                              .arg(cor.rgba(), 0, 16)
                              .arg(raio)
                              .arg(dpr);
    QPixmap px;
    if (QPixmapCache::find(chave, &px))
        return px;
    QImage img((caixa.size() * dpr).toSize() + QSize(1, 1), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(-caixa.topLeft(), texto);
    }
    Desfoque::desfocar(img, raio * dpr);
    {
        QPainter p(&img);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(img.rect(), cor);
    }
    px = QPixmap::fromImage(img);
    px.setDevicePixelRatio(dpr);
    QPixmapCache::insert(chave, px);
    return px;
}
} // namespace

void Ptile::pintar(QPainter &p, const QRectF &q, const Tema &tema, const QString &sigla,
                   const std::optional<QString> &nome, Elementos::Categoria cat)
{
    const qreal t = q.width();
    const Medidas m = medidas(t, nome.has_value());
    const QColor corCat = Elementos::cor(cat, tema);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QPainterPath forma;
    forma.addRoundedRect(q, m.canto, m.canto);
    QLinearGradient g(q.topLeft(), q.bottomRight());
    g.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.07f));
    g.setColorAt(0.5, QColor::fromRgbF(1, 1, 1, 0.015f));
    g.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0.14f));
    p.fillPath(forma, g);
    p.setPen(QPen(tema.borda, 1));
    p.setBrush(Qt::NoBrush);
    const QRectF dentro = q.adjusted(0.5, 0.5, -0.5, -0.5);
    p.drawRoundedRect(dentro, std::max<qreal>(0, m.canto - 0.5), std::max<qreal>(0, m.canto - 0.5));

    // Sigla, centred, lifted when there is a name, with a soft glow.
    const QFont fs = OndrelFontes::fonte(OndrelFontes::barlow(), QFont::Bold, m.tamanhoSigla, 0.5);
    const QFontMetricsF fms(fs);
    const qreal larguraSigla = fms.horizontalAdvance(sigla);
    const QPointF base(q.center().x() - larguraSigla / 2,
                       q.center().y() - m.elevacaoSigla + (fms.ascent() - fms.descent()) / 2);
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    QPointF origem;
    const QPixmap brilho = brilhoDoTexto(sigla, fs, comOpacidade(tema.texto, 0.18), 6, dpr, &origem);
    p.drawPixmap(base + origem, brilho);
    p.setFont(fs);
    p.setPen(tema.texto);
    p.drawText(base, sigla);

    if (nome) {
        const QFont fn = OndrelFontes::fonte(OndrelFontes::inter(), QFont::DemiBold, m.tamanhoNome, 0.3);
        const QFontMetricsF fmn(fn);
        const qreal largura = t - 6;
        const QString texto = fmn.elidedText(*nome, Qt::ElideRight, largura);
        const qreal y = q.bottom() - m.margemNome - fmn.descent();
        p.setFont(fn);
        p.setPen(tema.textoSec);
        p.drawText(QPointF(q.center().x() - fmn.horizontalAdvance(texto) / 2, y), texto);
    }

    if (cat != Elementos::Categoria::nenhuma) {
        const QRectF barra(q.center().x() - m.barra.width() / 2, q.bottom() - m.baseBarra - m.barra.height(),
                           m.barra.width(), m.barra.height());
        QPainterPath capsula;
        capsula.addRoundedRect(barra, barra.height() / 2, barra.height() / 2);
        p.fillPath(capsula, comOpacidade(corCat, 0.9));
    }
    p.restore();
}

void Ptile::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRectF q((width() - m_tamanho) / 2, (height() - m_tamanho) / 2, m_tamanho, m_tamanho);
    pintar(p, q, tema(), m_sigla, m_nome, categoria());
}
