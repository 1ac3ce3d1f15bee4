#pragma once
// The theme record and the fixed catalogue shared by Quilvo and Varkelo.
// A theme identifier means the same colours in both apps.
#include <QColor>
#include <QList>
#include <QString>

// One sRGB colour as the catalogue writes it: red, green and blue are the
// 8-bit value / 255 rounded to four decimals; opacity as written. QColor keeps
// 16 bits per channel, which cannot tell 0.1098 from 28/255, so the exact
// fractions are kept here.
struct Cor {
    double r = 0, g = 0, b = 0, a = 1;
    QColor qcolor() const { return QColor::fromRgbF(float(r), float(g), float(b), float(a)); }
    bool operator==(const Cor &) const = default;
};

// The exact fractions of the ten roles of a theme.
struct CoresExatas {
    Cor pagina, painel, texto, textoSec, borda, azul, verde, amarelo, vermelho, laranja;
    bool operator==(const CoresExatas &) const = default;
};

struct Tema {
    QString id;
    QString nome;
    bool escuro = true;

    QColor pagina;    // window/page background
    QColor painel;    // cards and panels (usually translucent)
    QColor texto;     // primary text
    QColor textoSec;  // secondary text
    QColor borda;     // hairlines and borders (usually translucent)
    QColor azul;      // accent, links, primary action
    QColor verde;     // success, "on"
    QColor amarelo;   // warnings
    QColor vermelho;  // errors, recording
    QColor laranja;   // secondary warnings

    CoresExatas exatas;

    // The catalogue, in display order; built once, never changed.
    static const QList<Tema> &todos();
    // "theme-apple-dark"; the first theme if that one were missing.
    static const Tema &padrao();
    // First theme whose id equals `id` exactly (case-sensitive), else padrao().
    static const Tema &porId(const QString &id);

    // Field by field: id, nome, escuro and the ten exact colours.
    bool operator==(const Tema &o) const
    {
        return id == o.id && nome == o.nome && escuro == o.escuro && exatas == o.exatas;
    }
};

// `cor` with its alpha multiplied by `x` ("colour at opacity x").
inline QColor comOpacidade(QColor cor, qreal x)
{
    cor.setAlphaF(float(cor.alphaF() * x));
    return cor;
}
