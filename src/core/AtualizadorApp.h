#pragma once
// Quilvo's own updater. For now it only carries its observable stage and the
// announced next build; checking, downloading and swapping come later, and
// until then nothing is ever ready to install.
#include <QObject>
#include <QString>
#include <optional>

class AppState;

struct Etapa {
    enum class Caso { emDia, verificando, baixando, pronta, instalando, semPermissao, falhou };
    Caso caso = Caso::emDia;
    QString texto;   // `pronta`/`semPermissao`: the published name; `falhou`: the reason

    bool operator==(const Etapa &) const = default;
};

struct PorVir {
    QString nome;
    QString etapa;
    bool operator==(const PorVir &) const = default;
};

class AtualizadorApp : public QObject {
    Q_OBJECT
public:
    explicit AtualizadorApp(QObject *parent = nullptr) : QObject(parent) {}

    const Etapa &etapa() const { return etapa_; }
    const std::optional<PorVir> &porVir() const { return porVir_; }

    // Starts the check schedule (first check after 60 s, then every 600 s).
    void iniciar() {}
    // Installs a ready update; does nothing unless the stage is `pronta`.
    void instalar(AppState *)
    {
        if (etapa_.caso == Etapa::Caso::pronta)
            ++pedidosDeInstalacao;
    }
    // How often a ready update was asked to install (seen by tests).
    int pedidosDeInstalacao = 0;

    // For tests of the callers: put the updater in a given stage.
    void definirEtapa(const Etapa &e)
    {
        if (etapa_ == e)
            return;
        etapa_ = e;
        emit mudou();
    }
    void definirPorVir(const std::optional<PorVir> &p)
    {
        if (porVir_ == p)
            return;
        porVir_ = p;
        emit mudou();
    }

signals:
    void mudou();

private:
    Etapa etapa_;
    std::optional<PorVir> porVir_;
};
