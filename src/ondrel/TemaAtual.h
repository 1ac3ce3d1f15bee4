#pragma once
// The one observable source of the current theme. Window roots write the
// stored identifier; every themed widget reads `TemaAtual::atual()` when it
// paints and repaints on `temaMudou`. No view keeps its own copy of a Tema.
#include <QObject>
#include <QString>

#include "Tema.h"

class QWidget;

class TemaAtual : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString temaId READ temaId WRITE definirTemaId NOTIFY temaMudou)

public:
    static TemaAtual *instancia();

    // The identifier as stored (may be unknown to the catalogue).
    QString temaId() const { return m_id; }
    // Tema::porId of the identifier; the default theme until one is set.
    const Tema &tema() const { return *m_tema; }
    void definirTemaId(const QString &id);

    // Shorthand for instancia()->tema().
    static const Tema &atual() { return instancia()->tema(); }
    // Makes `w` repaint whenever the theme changes (for widgets that are not
    // one of the components, which do it themselves).
    static void seguir(QWidget *w);

signals:
    void temaMudou();

private:
    TemaAtual() = default;
    QString m_id = Tema::padrao().id;
    const Tema *m_tema = &Tema::padrao();
};
