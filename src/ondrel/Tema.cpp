#include "Tema.h"

#include <cmath>

namespace {

double fracao(int v8) { return std::round(v8 / 255.0 * 10000.0) / 10000.0; }

// "#RRGGBB" with an optional opacity.
Cor cor(const char *hex, double opacidade = 1.0)
{
    const uint v = QByteArray(hex + 1).toUInt(nullptr, 16);
    return Cor{fracao(int((v >> 16) & 0xff)), fracao(int((v >> 8) & 0xff)), fracao(int(v & 0xff)), opacidade};
}

Tema tema(const char *id, const QString &nome, bool escuro, const CoresExatas &c)
{
    Tema t;
    t.id = QString::fromLatin1(id);
    t.nome = nome;
    t.escuro = escuro;
    t.exatas = c;
    t.pagina = c.pagina.qcolor();
    t.painel = c.painel.qcolor();
    t.texto = c.texto.qcolor();
    t.textoSec = c.textoSec.qcolor();
    t.borda = c.borda.qcolor();
    t.azul = c.azul.qcolor();
    t.verde = c.verde.qcolor();
    t.amarelo = c.amarelo.qcolor();
    t.vermelho = c.vermelho.qcolor();
    t.laranja = c.laranja.qcolor();
    return t;
}

QList<Tema> construir()
{
    // pagina, painel, texto, textoSec, borda, azul, verde, amarelo, vermelho, laranja
    return {
        tema("theme-apple-dark", QStringLiteral("Escuro"), true,
             {cor("#000000"), cor("#1C1C1E", 0.75), cor("#FFFFFF"), cor("#EBEBF5", 0.6), cor("#FFFFFF", 0.12),
              cor("#0A84FF"), cor("#30D158"), cor("#FFD60A"), cor("#FF453A"), cor("#FF9F0A")}),
        tema("theme-apple-light", QStringLiteral("Claro"), false,
             {cor("#F2F2F7"), cor("#FFFFFF", 0.8), cor("#000000"), cor("#3C3C43", 0.6), cor("#000000", 0.1),
              cor("#007AFF"), cor("#34C759"), cor("#FFCC00"), cor("#FF3B30"), cor("#FF9F0A")}),
        tema("theme-summer-light", QStringLiteral("Solar"), true,
             {cor("#1A0B2E"), cor("#2B0F42", 0.85), cor("#FFEECC"), cor("#FF8C66"), cor("#FF8C66", 0.25),
              cor("#FF5E7E"), cor("#00E676"), cor("#FFB74D"), cor("#FF3D00"), cor("#FF9F0A")}),
        tema("theme-titanium", QStringLiteral("Titânio"), true,
             {cor("#15171A"), cor("#1E2126", 0.85), cor("#E8ECEF"), cor("#80868F"), cor("#FFFFFF", 0.08),
              cor("#5BA3FF"), cor("#34D058"), cor("#FFD60A"), cor("#FF453A"), cor("#FF9F0A")}),
        tema("theme-atlantic", QStringLiteral("Atlântica"), true,
             {cor("#0A110A"), cor("#121E14", 0.85), cor("#E8F5E9"), cor("#81C784"), cor("#81C784", 0.2),
              cor("#00E5FF"), cor("#69F0AE"), cor("#FFEA00"), cor("#FF5252"), cor("#FF9F0A")}),
        tema("theme-ocean", QStringLiteral("Oceano"), true,
             {cor("#000B18"), cor("#0A192D", 0.85), cor("#E0F7FA"), cor("#80DEEA"), cor("#80DEEA", 0.2),
              cor("#00B4D8"), cor("#00E676"), cor("#FFE57F"), cor("#FF5252"), cor("#FF9F0A")}),
        tema("theme-cyberpunk", QStringLiteral("Cyberpunk"), true,
             {cor("#050510"), cor("#0A0A1E", 0.85), cor("#00F0FF"), cor("#FF4D74"), cor("#00F0FF", 0.26),
              cor("#00F0FF"), cor("#39FF14"), cor("#FCEE0A"), cor("#FF003C"), cor("#FF9F0A")}),
        tema("theme-cinema", QStringLiteral("Cinema"), true,
             {cor("#0B0C0E"), cor("#17191C", 0.6), cor("#F1F4F7"), cor("#8D949C"), cor("#FFFFFF", 0.09),
              cor("#BCD8F2"), cor("#2ECC71"), cor("#F1C40F"), cor("#E74C3C"), cor("#FF9F0A")}),
        tema("theme-minimal-red", QStringLiteral("Vermelho"), true,
             {cor("#030303"), cor("#0A0A0A"), cor("#FFFFFF"), cor("#666666"), cor("#FF0000", 0.15),
              cor("#FF3B30"), cor("#FFFFFF"), cor("#FF9500"), cor("#FF0000"), cor("#FF9F0A")}),
        tema("theme-estrela", QStringLiteral("Estrela"), true,
             {cor("#5E0411"), cor("#1E0A0A", 0.95), cor("#FFFFFF"), cor("#FFD60A"), cor("#FFD60A", 0.3),
              cor("#FFD60A"), cor("#FFFFFF"), cor("#FFD60A"), cor("#FF0000"), cor("#FF9F0A")}),
        tema("theme-brasil", QStringLiteral("Brasil"), true,
             {cor("#081C10"), cor("#081C10", 0.85), cor("#E8F5E9"), cor("#81C784"), cor("#FFFFFF", 0.08),
              cor("#FFD60A"), cor("#FFF59D"), cor("#FFC107"), cor("#FF5252"), cor("#FFB300")}),
        tema("theme-catarina", QStringLiteral("Catarina"), true,
             {cor("#060807"), cor("#0A120D", 0.86), cor("#F5F7F3"), cor("#6FCB8E"), cor("#35D07F", 0.16),
              cor("#1E9E56"), cor("#35D07F"), cor("#F5F7F3"), cor("#E4162A"), cor("#C23616")}),
        tema("theme-tapete-persa", QStringLiteral("Persia"), true,
             {cor("#2A1108"), cor("#3A1A0C", 0.9), cor("#F3E2C2"), cor("#C9A36E"), cor("#C9A36E", 0.28),
              cor("#E0533D"), cor("#7FAE6A"), cor("#E8B64C"), cor("#C92F1D"), cor("#FF9F0A")}),
        tema("theme-palestina", QStringLiteral("Palestina"), true,
             {cor("#060606"), cor("#121212", 0.85), cor("#FFFFFF"), cor("#FFFFFF", 0.6), cor("#FFFFFF", 0.14),
              cor("#F2F2F2"), cor("#149954"), cor("#FFD60A"), cor("#CE1126"), cor("#FF9F0A")}),
        tema("theme-tapete-vermelho", QStringLiteral("China"), true,
             {cor("#38050F"), cor("#26070E", 0.88), cor("#F7ECD9"), cor("#E8BD54"), cor("#FFC74A", 0.28),
              cor("#33E6FF"), cor("#3CFF9E"), cor("#FFD23F"), cor("#FF3B57"), cor("#FFC94A")}),
        tema("theme-papelao", QStringLiteral("Papelão"), true,
             {cor("#A15C38"), cor("#FAF2D2", 0.97), cor("#F7ECC9"), cor("#F7ECC9", 0.78), cor("#654A30", 0.28),
              cor("#3D5566"), cor("#5E6B3F"), cor("#C1932C"), cor("#A63F26"), cor("#C1622D")}),
        tema("theme-acessibilidade", QStringLiteral("Antártida"), false,
             {cor("#FAF6EC"), cor("#FFFFFF", 0.92), cor("#1B1811"), cor("#1B1811", 0.82), cor("#1B1811", 0.26),
              cor("#0B4FDE"), cor("#146C36"), cor("#8A5A00"), cor("#B0102B"), cor("#B34700")}),
    };
}

} // namespace

const QList<Tema> &Tema::todos()
{
    static const QList<Tema> catalogo = construir();
    return catalogo;
}

const Tema &Tema::padrao()
{
    const QList<Tema> &todos = Tema::todos();
    for (const Tema &t : todos)
        if (t.id == QLatin1String("theme-apple-dark"))
            return t;
    return todos.first();
}

const Tema &Tema::porId(const QString &id)
{
    for (const Tema &t : todos())
        if (t.id == id)
            return t;
    return padrao();
}
