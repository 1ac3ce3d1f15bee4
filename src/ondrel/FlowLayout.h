#pragma once
// A wrapping row: children left to right at their ideal size, onto a new row
// when the next one would pass the right edge; `spacing` between items and
// between rows. A child wider than the whole width stays alone on its row.
#include <QLayout>
#include <QList>
#include <QRectF>
#include <optional>

class FlowLayout : public QLayout {
    Q_OBJECT
public:
    explicit FlowLayout(qreal spacing = 8, QWidget *parent = nullptr);
    ~FlowLayout() override;

    qreal espacamento() const { return m_espacamento; }
    void setEspacamento(qreal s);
    int spacing() const override { return qRound(m_espacamento); }
    void setSpacing(int s) override { setEspacamento(s); }

    // Measuring for a proposed width (none = unbounded): W wide when W is
    // given, otherwise the advance of the single row (one trailing spacing
    // included); as high as the rows.
    static QSizeF medir(const QList<QSizeF> &ideais, std::optional<qreal> largura, qreal spacing);
    // Top-leading corners of the children placed in `area`.
    static QList<QRectF> posicionar(const QList<QSizeF> &ideais, const QRectF &area, qreal spacing);

    void addItem(QLayoutItem *item) override;
    int count() const override { return int(m_itens.size()); }
    QLayoutItem *itemAt(int i) const override { return m_itens.value(i); }
    QLayoutItem *takeAt(int i) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int largura) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &r) override;

private:
    QList<QLayoutItem *> visiveis() const;
    static QList<QSizeF> ideais(const QList<QLayoutItem *> &itens);
    QList<QLayoutItem *> m_itens;
    qreal m_espacamento;
};
