#pragma once
// The desktop's accessibility display preferences, as the page and the glow
// ring see them. On Linux they come from the desktop's settings portal
// (reduced motion from "enable-animations", high contrast from the
// appearance "contrast" key or GNOME's "high-contrast"); GNOME has no
// reduced-transparency switch, so that one stays false there.
// VARKELO_ACESSIBILIDADE (a comma list of "menosTransparencia",
// "maisContraste", "menosMovimento"; empty for none) replaces the desktop.
#include <QDBusVariant>
#include <QObject>

struct PreferenciasDoSistema {
    bool menosTransparencia = false;
    bool maisContraste = false;
    bool menosMovimento = false;
    bool operator==(const PreferenciasDoSistema &) const = default;
};

class Acessibilidade : public QObject
{
    Q_OBJECT
public:
    static Acessibilidade *instancia();
    PreferenciasDoSistema atual() const { return atual_; }
    static PreferenciasDoSistema agora() { return instancia()->atual(); }

    // Takes new preferences (from the desktop's change signal); emits
    // `mudou` when they differ.
    void definir(const PreferenciasDoSistema &p);
    // The rule for the override variable.
    static PreferenciasDoSistema deTexto(const QString &lista);

Q_SIGNALS:
    void mudou();

private Q_SLOTS:
    void configuracaoMudou(const QString &espaco, const QString &chave, const QDBusVariant &valor);

private:
    Acessibilidade();
    void lerDoPortal();
    PreferenciasDoSistema atual_;
};
