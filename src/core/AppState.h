#pragma once
// Quilvo's one observable state object: the person's settings, the token,
// what is known about the local server, the server's child process and the
// self-updater. Views observe it and call its operations; everything here
// runs on the main thread.
#include "AtualizadorApp.h"
#include "Modelos.h"
#include "Secoes.h"
#include "ServerProcess.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>

enum class EstadoIcone { funcionando = 0, parado, conectando, atualizando, atualizacaoPendente, versaoAnunciada };

class AppState : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString pastaRepo READ pastaRepo WRITE setPastaRepo NOTIFY pastaRepoChanged)
    Q_PROPERTY(QString baseURLTexto READ baseURLTexto WRITE setBaseURLTexto NOTIFY baseURLTextoChanged)
    Q_PROPERTY(QString token READ token WRITE setToken NOTIFY tokenChanged)
    Q_PROPERTY(std::optional<StatusResposta> status READ status NOTIFY statusChanged)
    Q_PROPERTY(std::optional<EscopoDisponivel> escopo READ escopo NOTIFY escopoChanged)
    Q_PROPERTY(QList<SessaoPresenca> sessoes READ sessoes NOTIFY sessoesChanged)
    Q_PROPERTY(std::optional<QString> erro READ erro NOTIFY erroChanged)
    Q_PROPERTY(QDateTime ultimaAtualizacao READ ultimaAtualizacao NOTIFY ultimaAtualizacaoChanged)
    Q_PROPERTY(bool iniciarServidorAutomaticamente READ iniciarServidorAutomaticamente WRITE
                   setIniciarServidorAutomaticamente NOTIFY iniciarServidorAutomaticamenteChanged)
    Q_PROPERTY(bool abrirComSistema READ abrirComSistema WRITE setAbrirComSistema NOTIFY abrirComSistemaChanged)
    Q_PROPERTY(bool mostrarLuzAtividade READ mostrarLuzAtividade WRITE setMostrarLuzAtividade NOTIFY
                   mostrarLuzAtividadeChanged)
    Q_PROPERTY(QString temaId READ temaId WRITE setTemaId NOTIFY temaIdChanged)
    Q_PROPERTY(SecaoPainel secaoPainel READ secaoPainel WRITE setSecaoPainel NOTIFY secaoPainelChanged)
    Q_PROPERTY(Perfil perfil READ perfil WRITE setPerfil NOTIFY perfilChanged)
    Q_PROPERTY(bool tokenProtegido READ tokenProtegido WRITE setTokenProtegido NOTIFY tokenProtegidoChanged)
    Q_PROPERTY(bool servidorAdotado READ servidorAdotado NOTIFY servidorAdotadoChanged)
    Q_PROPERTY(bool atualizandoAgora READ atualizandoAgora NOTIFY atualizandoAgoraChanged)

public:
    // Token and address pinned by the environment for automated runs.
    struct Bancada {
        QString token;
        QString url;
    };
    // Computed once per process from QUILVO_BANCADA_TOKEN / QUILVO_BANCADA_URL.
    static const std::optional<Bancada> &bancada();
    static void recalcularBancadaParaTestes();

    // The process's one instance, created on first use.
    static AppState *compartilhado();

    explicit AppState(QObject *parent = nullptr);
    ~AppState() override;

    // Fields
    QString pastaRepo() const { return pastaRepo_; }
    QString baseURLTexto() const { return baseURLTexto_; }
    QString token() const { return token_; }
    const std::optional<StatusResposta> &status() const { return status_; }
    const std::optional<EscopoDisponivel> &escopo() const { return escopo_; }
    const QList<SessaoPresenca> &sessoes() const { return sessoes_; }
    const std::optional<QString> &erro() const { return erro_; }
    QDateTime ultimaAtualizacao() const { return ultimaAtualizacao_; }
    bool iniciarServidorAutomaticamente() const { return iniciarServidorAutomaticamente_; }
    bool abrirComSistema() const { return abrirComSistema_; }
    bool mostrarLuzAtividade() const { return mostrarLuzAtividade_; }
    QString temaId() const { return temaId_; }
    SecaoPainel secaoPainel() const { return secaoPainel_; }
    Perfil perfil() const { return perfil_; }
    bool tokenProtegido() const { return tokenProtegido_; }
    bool servidorAdotado() const { return servidorAdotado_; }
    bool atualizandoAgora() const { return atualizandoAgora_; }
    bool subindo() const { return subindo_; }
    const std::optional<QString> &buildAnterior() const { return buildAnterior_; }
    qint64 falhasSeguidasDeStatus() const { return falhasSeguidasDeStatus_; }
    const std::optional<QDateTime> &ultimaSubidaAutomatica() const { return ultimaSubidaAutomatica_; }
    QDateTime temaEscolhidoEm() const { return temaEscolhidoEm_; }
    ServerProcess *processo() const { return processo_; }
    AtualizadorApp *atualizadorApp() const { return atualizadorApp_; }
    QTimer *timerStatus() const { return timerStatus_; }

    void setPastaRepo(const QString &v);
    void setBaseURLTexto(const QString &v);
    void setToken(const QString &v);
    void setIniciarServidorAutomaticamente(bool v);
    void setAbrirComSistema(bool v);
    void setMostrarLuzAtividade(bool v);
    void setTemaId(const QString &v);
    void setSecaoPainel(SecaoPainel v);
    void setPerfil(Perfil v);
    void setTokenProtegido(bool v);
    void setErro(const std::optional<QString> &v);

    // Derived values
    QUrl baseURL() const;
    EstadoIcone estadoIcone() const;
    std::optional<QString> textoAtividade() const;

    // Operations
    void iniciarServidor();
    void pararServidor();
    void atualizarStatus();
    void iniciarPolling(double intervaloSegundos);
    void carregarEscopo(int tentativasRestantes);
    void escolherTema(const QString &id);

    // Which theme identifiers exist; the app wires the theme catalogue in.
    // Without one every server theme is ignored.
    void definirCatalogoDeTemas(std::function<bool(const QString &)> contem);

    // The port the server answers on: that of baseURL, else 1440.
    int portaDoServidor() const;

signals:
    void pastaRepoChanged();
    void baseURLTextoChanged();
    void tokenChanged();
    void statusChanged();
    void escopoChanged();
    void sessoesChanged();
    void erroChanged();
    void ultimaAtualizacaoChanged();
    void iniciarServidorAutomaticamenteChanged();
    void abrirComSistemaChanged();
    void mostrarLuzAtividadeChanged();
    void temaIdChanged();
    void secaoPainelChanged();
    void perfilChanged();
    void tokenProtegidoChanged();
    void servidorAdotadoChanged();
    void atualizandoAgoraChanged();
    // Any change of the self-updater, relayed so views that observe only
    // this object redraw.
    void atualizadorMudou();
    // One status poll ran to its end (presence included); `ok` when the
    // server answered status. The activity light blinks on it.
    void pollConcluido(bool ok);

private:
    void setStatus(const std::optional<StatusResposta> &v);
    void setEscopo(const std::optional<EscopoDisponivel> &v);
    void setSessoes(const QList<SessaoPresenca> &v);
    void setUltimaAtualizacao(const QDateTime &v);
    void setServidorAdotado(bool v);
    void setAtualizandoAgora(bool v);
    bool etapaPronta() const;
    bool instalacaoGerenciada() const;

    QCoro::Task<> pollar();
    void religarServidorSePrecisar();
    QCoro::Task<> subirOuAdotar();
    QCoro::Task<> primeiroContato(int tentativasRestantes);
    QCoro::Task<bool> algumServidorResponde();
    QCoro::Task<> esperarPortaLivre();

    QString pastaRepo_;
    QString baseURLTexto_;
    QString token_;
    std::optional<StatusResposta> status_;
    std::optional<EscopoDisponivel> escopo_;
    QList<SessaoPresenca> sessoes_;
    std::optional<QString> erro_;
    QDateTime ultimaAtualizacao_;
    bool iniciarServidorAutomaticamente_ = true;
    bool abrirComSistema_ = false;
    bool mostrarLuzAtividade_ = true;
    QString temaId_;
    SecaoPainel secaoPainel_ = SecaoPainel::geral;
    Perfil perfil_ = Perfil::set;
    bool tokenProtegido_ = false;
    bool servidorAdotado_ = false;
    bool subindo_ = false;
    std::optional<QString> buildAnterior_;
    bool atualizandoAgora_ = false;
    qint64 falhasSeguidasDeStatus_ = 0;
    std::optional<QDateTime> ultimaSubidaAutomatica_;
    ServerProcess *processo_ = nullptr;
    QPointer<QTimer> timerStatus_;
    AtualizadorApp *atualizadorApp_ = nullptr;
    QList<QMetaObject::Connection> repasses_;
    QDateTime temaEscolhidoEm_;
    std::function<bool(const QString &)> catalogoContem_;
};
