#include "Textos.h"

#include <QPainter>
#include <cmath>

#include "OndrelFontes.h"

Rotulo::Rotulo(const QString &texto, QWidget *parent) : ComponenteOndrel(parent), m_texto(texto)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void Rotulo::setTexto(const QString &t)
{
    m_texto = t;
    m_larguraDoDesenho = -1;
    updateGeometry();
    update();
}

QFont Rotulo::fonte() { return OndrelFontes::fonte(OndrelFontes::inter(), QFont::DemiBold, 10, 1.1); }

QSize Rotulo::sizeHint() const
{
    const QFontMetricsF fm(fonte());
    return QSizeF(std::ceil(fm.horizontalAdvance(m_texto.toUpper())), std::ceil(fm.height())).toSize();
}

QSize Rotulo::minimumSizeHint() const { return {0, sizeHint().height()}; }

void Rotulo::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    static const QFont f = fonte();
    static const QFontMetricsF fm(f);
    p.setFont(f);
    p.setPen(tema().textoSec);
    if (m_larguraDoDesenho != width()) {
        m_desenho.setText(fm.elidedText(m_texto.toUpper(), Qt::ElideRight, width()));
        m_desenho.setTextFormat(Qt::PlainText);
        m_desenho.prepare(QTransform(), f);
        m_larguraDoDesenho = width();
    }
    p.drawStaticText(QPointF(0, (height() - fm.height()) / 2), m_desenho);
}

TituloDeSecao::TituloDeSecao(const QString &titulo, std::optional<QString> subtitulo, QWidget *parent)
    : ComponenteOndrel(parent), m_titulo(titulo), m_subtitulo(std::move(subtitulo))
{
    QSizePolicy sp(QSizePolicy::Preferred, QSizePolicy::Minimum);
    sp.setHeightForWidth(true);
    setSizePolicy(sp);
}

void TituloDeSecao::setTitulo(const QString &t) { m_titulo = t; updateGeometry(); update(); }
void TituloDeSecao::setSubtitulo(std::optional<QString> s) { m_subtitulo = std::move(s); updateGeometry(); update(); }

QFont TituloDeSecao::fonteDoTitulo()
{
    return OndrelFontes::fonte(OndrelFontes::barlow(), QFont::Bold, 30, 0.5);
}

QFont TituloDeSecao::fonteDoSubtitulo() { return OndrelFontes::fonte(OndrelFontes::inter(), QFont::Normal, 12.5); }

QRectF TituloDeSecao::caixaDoSubtitulo(qreal largura) const
{
    if (!m_subtitulo)
        return {};
    const QFontMetricsF fm(fonteDoSubtitulo());
    const QFontMetricsF ft(fonteDoTitulo());
    const QRectF b = fm.boundingRect(QRectF(0, 0, std::max<qreal>(1, largura), 1e6), Qt::TextWordWrap, *m_subtitulo);
    return QRectF(0, ft.height() + entreLinhas, largura, b.height());
}

QSize TituloDeSecao::sizeHint() const
{
    const QFontMetricsF ft(fonteDoTitulo());
    qreal largura = ft.horizontalAdvance(m_titulo.toUpper());
    if (m_subtitulo)
        largura = std::max(largura, QFontMetricsF(fonteDoSubtitulo()).horizontalAdvance(*m_subtitulo));
    largura = std::min<qreal>(std::ceil(largura), 640);
    return {int(largura), heightForWidth(int(largura))};
}

QSize TituloDeSecao::minimumSizeHint() const
{
    const QFontMetricsF ft(fonteDoTitulo());
    return {0, int(std::ceil(ft.height()))};
}

int TituloDeSecao::heightForWidth(int largura) const
{
    const QFontMetricsF ft(fonteDoTitulo());
    qreal h = ft.height();
    if (m_subtitulo)
        h = caixaDoSubtitulo(largura).bottom();
    return int(std::ceil(h));
}

void TituloDeSecao::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    const Tema &t = tema();
    const QFont ft = fonteDoTitulo();
    const QFontMetricsF fmt(ft);
    p.setFont(ft);
    p.setPen(t.texto);
    p.drawText(QPointF(0, fmt.ascent()), fmt.elidedText(m_titulo.toUpper(), Qt::ElideRight, width()));
    if (m_subtitulo) {
        p.setFont(fonteDoSubtitulo());
        p.setPen(t.textoSec);
        p.drawText(caixaDoSubtitulo(width()), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, *m_subtitulo);
    }
}
