#include "Relogio.h"

namespace {
qint64 deslocamentoMs = 0;
}

namespace Relogio {
QDateTime agora() { return QDateTime::currentDateTimeUtc().addMSecs(deslocamentoMs); }
void avancar(std::chrono::milliseconds quanto) { deslocamentoMs += quanto.count(); }
void zerar() { deslocamentoMs = 0; }
}
