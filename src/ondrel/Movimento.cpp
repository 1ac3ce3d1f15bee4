#include "Movimento.h"

#include <QPointF>
#include <QProcess>
#include <QStandardPaths>
#include <cmath>
#include <optional>

qreal Mola::progresso(qreal t) const
{
    if (t <= 0)
        return 0;
    const qreal w0 = 2 * M_PI / std::max<qreal>(resposta, 1e-3);
    const qreal z = std::clamp<qreal>(amortecimento, 0.0, 1.0);
    if (z >= 1.0)
        return 1 - (1 + w0 * t) * std::exp(-w0 * t);
    const qreal wd = w0 * std::sqrt(1 - z * z);
    return 1 - std::exp(-z * w0 * t) * (std::cos(wd * t) + (z * w0 / wd) * std::sin(wd * t));
}

int Mola::duracaoMs() const
{
    // Walk forward until the last time the spring is farther than 0.1 %.
    const qreal passo = 0.004;
    qreal ultimoFora = 0;
    for (qreal t = 0; t < 10.0; t += passo)
        if (std::abs(1 - progresso(t)) > 0.001)
            ultimoFora = t;
    return std::max(1, int(std::ceil((ultimoFora + passo) * 1000)));
}

AnimacaoMola::AnimacaoMola(Mola mola, QObject *parent) : QVariantAnimation(parent), m_mola(mola)
{
    setDuration(m_mola.duracaoMs());
    setEasingCurve(QEasingCurve::Linear);
}

void AnimacaoMola::animarPara(const QVariant &alvo)
{
    const QVariant agora = currentValue().isValid() ? currentValue() : startValue();
    stop();
    setStartValue(agora.isValid() ? agora : alvo);
    setEndValue(alvo);
    start();
}

QVariant AnimacaoMola::interpolated(const QVariant &de, const QVariant &para, qreal progresso) const
{
    const qreal segundos = progresso * duration() / 1000.0;
    const qreal p = progresso >= 1.0 ? 1.0 : m_mola.progresso(segundos);
    return QVariantAnimation::interpolated(de, para, p);
}

namespace Movimento {

namespace {
std::optional<bool> lerDaAreaDeTrabalho()
{
    const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (gsettings.isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(gsettings, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"),
                        QStringLiteral("enable-animations")});
    if (!p.waitForFinished(600)) {
        p.kill();
        p.waitForFinished(100);
        return std::nullopt;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    const QByteArray saida = p.readAllStandardOutput().trimmed();
    if (saida == "false")
        return true;
    if (saida == "true")
        return false;
    return std::nullopt;
}
} // namespace

bool reduzido()
{
    const QByteArray env = qgetenv("ONDREL_REDUZIR_MOVIMENTO");
    if (env == "1")
        return true;
    if (env == "0")
        return false;
    static const bool daAreaDeTrabalho = lerDaAreaDeTrabalho().value_or(false);
    return daAreaDeTrabalho;
}

QEasingCurve saidaSuave()
{
    QEasingCurve c(QEasingCurve::BezierSpline);
    c.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return c;
}

} // namespace Movimento
