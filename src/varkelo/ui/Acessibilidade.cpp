#include "Acessibilidade.h"

#include "Movimento.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

namespace {
const QString servico = QStringLiteral("org.freedesktop.portal.Desktop");
const QString caminho = QStringLiteral("/org/freedesktop/portal/desktop");
const QString interface = QStringLiteral("org.freedesktop.portal.Settings");

// Portal values arrive wrapped once or twice in variants.
QVariant desembrulhar(QVariant v)
{
    while (v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    return v;
}
} // namespace

Acessibilidade *Acessibilidade::instancia()
{
    static Acessibilidade *a = new Acessibilidade;
    return a;
}

PreferenciasDoSistema Acessibilidade::deTexto(const QString &lista)
{
    PreferenciasDoSistema p;
    for (const QString &item : lista.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString i = item.trimmed();
        if (i == QLatin1String("menosTransparencia"))
            p.menosTransparencia = true;
        else if (i == QLatin1String("maisContraste"))
            p.maisContraste = true;
        else if (i == QLatin1String("menosMovimento"))
            p.menosMovimento = true;
    }
    return p;
}

Acessibilidade::Acessibilidade() : QObject(QCoreApplication::instance())
{
    if (qEnvironmentVariableIsSet("VARKELO_ACESSIBILIDADE")) {
        atual_ = deTexto(qEnvironmentVariable("VARKELO_ACESSIBILIDADE"));
        return;
    }
    atual_.menosMovimento = Movimento::reduzido();
    lerDoPortal();
    QDBusConnection::sessionBus().connect(servico, caminho, interface, QStringLiteral("SettingChanged"), this,
                                          SLOT(configuracaoMudou(QString, QString, QDBusVariant)));
}

void Acessibilidade::lerDoPortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const auto ler = [&](const QString &espaco, const QString &chave) -> QVariant {
        QDBusMessage m = QDBusMessage::createMethodCall(servico, caminho, interface, QStringLiteral("Read"));
        m << espaco << chave;
        const QDBusMessage r = bus.call(m, QDBus::Block, 500);
        if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty())
            return {};
        return desembrulhar(r.arguments().first());
    };
    const QVariant animacoes = ler(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations"));
    if (animacoes.typeId() == QMetaType::Bool)
        atual_.menosMovimento = !animacoes.toBool();
    const QVariant contraste = ler(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("contrast"));
    if (contraste.isValid())
        atual_.maisContraste = contraste.toUInt() == 1;
    else {
        const QVariant alto = ler(QStringLiteral("org.gnome.desktop.a11y.interface"), QStringLiteral("high-contrast"));
        if (alto.typeId() == QMetaType::Bool)
            atual_.maisContraste = alto.toBool();
    }
}

void Acessibilidade::configuracaoMudou(const QString &espaco, const QString &chave, const QDBusVariant &valor)
{
    const QVariant v = desembrulhar(valor.variant());
    PreferenciasDoSistema p = atual_;
    if (espaco == QLatin1String("org.gnome.desktop.interface") && chave == QLatin1String("enable-animations"))
        p.menosMovimento = !v.toBool();
    else if (espaco == QLatin1String("org.freedesktop.appearance") && chave == QLatin1String("contrast"))
        p.maisContraste = v.toUInt() == 1;
    else if (espaco == QLatin1String("org.gnome.desktop.a11y.interface") && chave == QLatin1String("high-contrast"))
        p.maisContraste = v.toBool();
    else
        return;
    definir(p);
}

void Acessibilidade::definir(const PreferenciasDoSistema &p)
{
    if (p == atual_)
        return;
    atual_ = p;
    Q_EMIT mudou();
}
