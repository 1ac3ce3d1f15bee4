#pragma once
// The small upper-case caption and the section title.
#include <QStaticText>
#include <optional>

#include "Componente.h"

class Rotulo : public ComponenteOndrel {
    Q_OBJECT
public:
    explicit Rotulo(const QString &texto = {}, QWidget *parent = nullptr);
    QString texto() const { return m_texto; }
    void setTexto(const QString &t);
    static QFont fonte();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QString m_texto;
    // Laid-out glyphs of the last text and width drawn (captions are the
    // most numerous piece of a screen; shaping them on every frame shows).
    mutable QStaticText m_desenho;
    mutable int m_larguraDoDesenho = -1;
};

class TituloDeSecao : public ComponenteOndrel {
    Q_OBJECT
public:
    explicit TituloDeSecao(const QString &titulo = {}, std::optional<QString> subtitulo = std::nullopt,
                           QWidget *parent = nullptr);
    QString titulo() const { return m_titulo; }
    void setTitulo(const QString &t);
    std::optional<QString> subtitulo() const { return m_subtitulo; }
    void setSubtitulo(std::optional<QString> s);

    static QFont fonteDoTitulo();
    static QFont fonteDoSubtitulo();
    static constexpr qreal entreLinhas = 2;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int largura) const override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QRectF caixaDoSubtitulo(qreal largura) const;
    QString m_titulo;
    std::optional<QString> m_subtitulo;
};
