#pragma once
// SIGTERM (logout, service manager), SIGINT (terminal) and SIGHUP (terminal
// gone) become an ordinary quit request on the main thread, so the app shuts
// down through its normal quit path.
#include <functional>

namespace SinaisDeSaida {
// Installs the handlers once; `aoPedirSaida` runs on the main thread.
void instalar(std::function<void()> aoPedirSaida);
}
