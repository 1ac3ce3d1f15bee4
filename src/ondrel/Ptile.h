#pragma once
// The element tile: a rounded square with a sigla, an optional name under it
// and a thin bar in the colour of its category.
#include <optional>

#include "Componente.h"
#include "Elementos.h"

class Ptile : public ComponenteOndrel {
    Q_OBJECT
public:
    explicit Ptile(const QString &sigla = {}, std::optional<QString> nome = std::nullopt, qreal tamanho = 56,
                   std::optional<QString> categoria = std::nullopt, QWidget *parent = nullptr);

    QString sigla() const { return m_sigla; }
    void setSigla(const QString &s);
    std::optional<QString> nome() const { return m_nome; }
    void setNome(std::optional<QString> n);
    qreal tamanho() const { return m_tamanho; }
    void setTamanho(qreal t);
    std::optional<QString> categoriaCodigo() const { return m_categoria; }
    void setCategoria(std::optional<QString> c);

    // `categoria` when given, else the sigla.
    Elementos::Categoria categoria() const;

    // Every size of a tile of side t.
    struct Medidas {
        qreal canto;          // 0.18 t
        qreal tamanhoSigla;   // 0.42 t
        qreal elevacaoSigla;  // 0.06 t with a name, else 0
        qreal tamanhoNome;    // 0.125 t, never under 6.5
        qreal margemNome;     // 0.08 t below the name
        QSizeF barra;         // 0.36 t × 2
        qreal baseBarra;      // 1.5 above the bottom edge
    };
    static Medidas medidas(qreal t, bool comNome);
    static constexpr qreal tamanhoMinimoDoNome = 6.5;

    static void pintar(QPainter &p, const QRectF &quadrado, const Tema &tema, const QString &sigla,
                       const std::optional<QString> &nome, Elementos::Categoria cat);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QString m_sigla;
    std::optional<QString> m_nome;
    qreal m_tamanho;
    std::optional<QString> m_categoria;
};
