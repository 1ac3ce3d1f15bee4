#pragma once
// The themed window background and the window dressing of both apps.
#include <QPalette>
#include <QPixmap>
#include <QWidget>

#include "Tema.h"

// Three layers filling the whole widget, back to front: the solid page, a
// sheen from the top edge to the vertical centre, and a vignette centred in
// the window. Reads the current theme.
class FundoDoTema : public QWidget {
    Q_OBJECT
public:
    explicit FundoDoTema(QWidget *parent = nullptr);

    static void pintar(QPainter &p, const QRectF &area, const Tema &tema);
    // Opacity of `texto` at the top of the sheen.
    static qreal opacidadeBrilho(const Tema &t) { return t.escuro ? 0.07 : 0.05; }
    // Opacity of black at the outer radius of the vignette.
    static qreal opacidadeVinheta(const Tema &t) { return t.escuro ? 0.28 : 0.06; }
    static constexpr qreal raioInternoVinheta = 200;
    static constexpr qreal raioExternoVinheta = 900;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    // The gradients are costly to fill at window size; partial repaints
    // (a live dot pulsing) blit from this cache instead.
    QPixmap m_cache;
    QString m_cacheTema;
};

// The dark or light Fusion palette built from a theme: standard controls,
// scroll bars and menus follow it.
QPalette paletaDoTema(const Tema &tema);

// Dresses a window root: Fusion style, the theme's palette (on the
// application, so menus and popups follow too) and a FundoDoTema behind all of
// the window's children. It keeps following TemaAtual afterwards. Content
// widgets that fill their own background (scroll area viewports) should be
// made transparent to let the background show.
void janelaOndrel(QWidget *janela);
// The same, after making `tema` the current theme.
void janelaOndrel(QWidget *janela, const Tema &tema);
