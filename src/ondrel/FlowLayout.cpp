#include "FlowLayout.h"

#include <QWidget>
#include <cmath>

FlowLayout::FlowLayout(qreal spacing, QWidget *parent) : QLayout(parent), m_espacamento(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *i = takeAt(0))
        delete i;
}

void FlowLayout::setEspacamento(qreal s)
{
    m_espacamento = s;
    invalidate();
}

QSizeF FlowLayout::medir(const QList<QSizeF> &ideais, std::optional<qreal> largura, qreal spacing)
{
    const qreal W = largura.value_or(std::numeric_limits<qreal>::infinity());
    qreal x = 0, y = 0, alturaDaLinha = 0;
    for (const QSizeF &s : ideais) {
        if (x + s.width() > W && x > 0) {
            y += alturaDaLinha + spacing;
            x = 0;
            alturaDaLinha = 0;
        }
        x += s.width() + spacing;
        alturaDaLinha = std::max(alturaDaLinha, s.height());
    }
    return {largura ? *largura : x, y + alturaDaLinha};
}

QList<QRectF> FlowLayout::posicionar(const QList<QSizeF> &ideais, const QRectF &area, qreal spacing)
{
    QList<QRectF> lugares;
    lugares.reserve(ideais.size());
    qreal x = area.left(), y = area.top(), alturaDaLinha = 0;
    for (const QSizeF &s : ideais) {
        if (x + s.width() > area.right() && x > area.left()) {
            x = area.left();
            y += alturaDaLinha + spacing;
            alturaDaLinha = 0;
        }
        lugares << QRectF(QPointF(x, y), s);
        x += s.width() + spacing;
        alturaDaLinha = std::max(alturaDaLinha, s.height());
    }
    return lugares;
}

void FlowLayout::addItem(QLayoutItem *item)
{
    m_itens << item;
    invalidate();
}

QLayoutItem *FlowLayout::takeAt(int i)
{
    if (i < 0 || i >= m_itens.size())
        return nullptr;
    QLayoutItem *item = m_itens.takeAt(i);
    invalidate();
    return item;
}

QList<QLayoutItem *> FlowLayout::visiveis() const
{
    QList<QLayoutItem *> v;
    for (QLayoutItem *i : m_itens)
        if (!i->isEmpty())
            v << i;
    return v;
}

QList<QSizeF> FlowLayout::ideais(const QList<QLayoutItem *> &itens)
{
    QList<QSizeF> s;
    s.reserve(itens.size());
    for (QLayoutItem *i : itens)
        s << QSizeF(i->sizeHint());
    return s;
}

int FlowLayout::heightForWidth(int largura) const
{
    const QMargins m = contentsMargins();
    const QSizeF s = medir(ideais(visiveis()), qreal(largura - m.left() - m.right()), m_espacamento);
    return int(std::ceil(s.height())) + m.top() + m.bottom();
}

QSize FlowLayout::sizeHint() const
{
    const QMargins m = contentsMargins();
    const QSizeF s = medir(ideais(visiveis()), std::nullopt, m_espacamento);
    return QSize(int(std::ceil(s.width())) + m.left() + m.right(), int(std::ceil(s.height())) + m.top() + m.bottom());
}

QSize FlowLayout::minimumSize() const
{
    // Narrowest useful size: the largest child alone on its row; the real
    // height comes from heightForWidth.
    const QMargins m = contentsMargins();
    QSizeF maior;
    for (const QSizeF &s : ideais(visiveis()))
        maior = maior.expandedTo(s);
    return QSize(int(std::ceil(maior.width())) + m.left() + m.right(),
                 int(std::ceil(maior.height())) + m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect &r)
{
    QLayout::setGeometry(r);
    const QList<QLayoutItem *> itens = visiveis();
    const QRect area = contentsRect();
    // The right edge of a QRect is one pixel short of its width.
    const QList<QRectF> lugares =
        posicionar(ideais(itens), QRectF(area.x(), area.y(), area.width(), area.height()), m_espacamento);
    for (int i = 0; i < itens.size(); ++i)
        itens[i]->setGeometry(lugares[i].toRect());
}
