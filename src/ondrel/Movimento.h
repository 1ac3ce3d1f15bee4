#pragma once
// Motion of both apps: one spring (response, damping fraction) drives every
// animation, and one switch says whether the desktop asks for reduced motion.
#include <QEasingCurve>
#include <QVariantAnimation>

// A spring from 0 to 1 with the given response (the period of the undamped
// oscillation, in seconds) and damping fraction (1 = critically damped,
// below 1 overshoots a little). It starts at rest.
struct Mola {
    qreal resposta = 0.42;
    qreal amortecimento = 1.0;

    // Position at `segundos` after the start (0 at 0, tends to 1).
    qreal progresso(qreal segundos) const;
    // Time until the spring stays within 0.1 % of its target.
    int duracaoMs() const;
};

// A QVariantAnimation whose values follow a spring: set start and end values
// and connect valueChanged as with any QVariantAnimation. The duration is the
// spring's settling time.
class AnimacaoMola : public QVariantAnimation {
    Q_OBJECT
public:
    explicit AnimacaoMola(Mola mola, QObject *parent = nullptr);
    const Mola &mola() const { return m_mola; }
    // Restarts from the current value towards `alvo` (interrupting a running
    // run keeps the motion continuous in position).
    void animarPara(const QVariant &alvo);

protected:
    QVariant interpolated(const QVariant &de, const QVariant &para, qreal progresso) const override;

private:
    Mola m_mola;
};

namespace Movimento {
// True when the desktop asks for reduced motion. ONDREL_REDUZIR_MOVIMENTO=1
// or 0 overrides it; otherwise GNOME's enable-animations is read once (with a
// short time bound) and remembered.
bool reduzido();
// The ease-out curve of the live dot's pulse.
QEasingCurve saidaSuave();
} // namespace Movimento
