#pragma once
// The scripts the shell puts into every page, and the shim that gives the
// page its `window.webkit.messageHandlers` contract on top of QWebChannel.
#include "Acessibilidade.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace Roteiros {
// The four handler names, in registration order.
QStringList manipuladores();
// Object name of the bridge on the channel.
inline QString nomeDaPonte() { return QStringLiteral("varkeloPonte"); }

// Defines window.webkit.messageHandlers.<name>.postMessage for the four
// handlers at document creation and carries each message to the app over
// the channel, queuing what is posted before the channel is up.
QString ponte();
QString diario();     // "varkeloDiario": errors, rejections, console.error/warn
QString imprimir();   // "varkeloImprimir": window.print
QString acessibilidade(const PreferenciasDoSistema &p);
// Stores the token under "qlv_access_token" when the page's origin is
// `origem` (without its leading/trailing "/") and the page holds none.
// Absent when either value cannot be encoded.
std::optional<QString> token(const QUrl &origem, const QString &token);
// The full-screen class of the document element.
QString classeDeTelaCheia(bool cheia);
} // namespace Roteiros
