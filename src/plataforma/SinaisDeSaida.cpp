#include "SinaisDeSaida.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int canal[2] = {-1, -1};
std::function<void()> acao;

void tratar(int)
{
    // Only async-signal-safe work here: one byte down the pipe.
    const char b = 1;
    [[maybe_unused]] ssize_t n = ::write(canal[1], &b, 1);
}

} // namespace

namespace SinaisDeSaida {

void instalar(std::function<void()> aoPedirSaida)
{
    acao = std::move(aoPedirSaida);
    if (canal[0] >= 0)
        return;
    if (::pipe2(canal, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *aviso = new QSocketNotifier(canal[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(aviso, &QSocketNotifier::activated, aviso, [] {
        char buf[16];
        while (::read(canal[0], buf, sizeof buf) > 0) {
        }
        if (acao)
            acao();
    });
    struct sigaction sa {};
    sa.sa_handler = tratar;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &sa, nullptr);
}

} // namespace SinaisDeSaida
