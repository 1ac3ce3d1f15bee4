#include "Rede.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QPointer>

namespace Rede {

QNetworkAccessManager *gerenciador()
{
    static QPointer<QNetworkAccessManager> nam;
    if (!nam) {
        nam = new QNetworkAccessManager(QCoreApplication::instance());
        // Requests go straight to their hosts: the set's servers are local and
        // a desktop proxy must not swallow loopback traffic.
        nam->setProxy(QNetworkProxy::NoProxy);
    }
    return nam;
}

} // namespace Rede
