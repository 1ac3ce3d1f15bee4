#include "OndrelFontes.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include "Plataforma.h"

namespace OndrelFontes {

QStringList registrarPasta(const QString &pasta)
{
    QStringList registrados;
    const QDir dir(pasta);
    if (pasta.isEmpty() || !dir.exists())
        return registrados;
    const QFileInfoList entradas = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &f : entradas) {
        if (f.suffix().toLower() != QLatin1String("ttf"))
            continue;
        if (QFontDatabase::addApplicationFont(f.absoluteFilePath()) >= 0)
            registrados << f.absoluteFilePath();
    }
    return registrados;
}

void registrar()
{
    const QString recursos = Plataforma::pastaRecursos();
    if (recursos.isEmpty())
        return;
    registrarPasta(QDir(recursos).filePath(QStringLiteral("Fontes")));
}

namespace {
// Qt sizes fonts in points of 1/72 inch; the components are sized in
// device-independent pixels, so convert through the logical DPI.
qreal dpi()
{
    if (auto *g = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (QScreen *s = g->primaryScreen())
            return s->logicalDotsPerInchY();
    return 96.0;
}
} // namespace

QFont fonte(const QString &familia, QFont::Weight peso, qreal tamanho, qreal espacamento)
{
    QFont f(familia);
    f.setStyleStrategy(QFont::PreferAntialias);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setWeight(peso);
    f.setPointSizeF(tamanho * 72.0 / dpi());
    if (espacamento != 0)
        f.setLetterSpacing(QFont::AbsoluteSpacing, espacamento);
    return f;
}

qreal tamanhoDe(const QFont &f) { return f.pointSizeF() * dpi() / 72.0; }

} // namespace OndrelFontes
