#pragma once
// Every component of the visual language, in all its states, on one board;
// and an overview-like screen used to measure painting cost. Key widgets
// carry object names so tests can find them in the rendered image.
#include <QImage>
#include <QString>
#include <QWidget>

namespace Galeria {

// The board, dressed as a window (background and palette of the current
// theme). Owned by the caller.
QWidget *montarQuadro();
// A 1040 × 700 screen shaped like the overview: 30 surfaces, 60 captions,
// 10 buttons and 6 live dots.
QWidget *montarVisaoGeral();

// Shows `janela` (offscreen is fine), freezes every animation at a fixed,
// visible state and grabs it.
QImage renderizar(QWidget *janela);

// Renders the board in theme `temaId` to <pasta>/<temaId>.png (and the
// overview to <pasta>/visao-geral-<temaId>.png). Returns the board's path,
// or an empty text when writing failed.
QString salvar(const QString &temaId, const QString &pasta);

} // namespace Galeria
